#pragma once

#include "document.h"
#include "geometry.h"
#include "pagesetup.h"

#include <QFont>
#include <QPoint>
#include <QString>

#include <optional>

class QPainter;

namespace quiltana {

// Whether a composition draws the cells' frames (cutting lines).
enum class FrameSwitch : int { Draw = 0, Skip = 1 };

// Composes the current page of `doc` (its page lists and layout style) with the margins, gaps
// and caption settings of `setup` onto `canvas` of W x H device units: frames unless they are
// skipped, then every position whose redraw flag is Redraw::Draw (the flag is consumed), and
// in print mode the captions.
// A picture that cannot be read throws Error: what was drawn before stays, the cell that
// failed has its flag consumed, later flagged cells keep theirs.
void ComposePage(QPainter &canvas, Document &doc, const PageSetup &setup, int W, int H, FrameSwitch frames,
                 ComposeMode mode);

// GDI's Rectangle(l, t, r, b) with a one-unit pen: pixels l..r-1 and t..b-1, the outer ring in
// the canvas's pen colour and the inside filled with its brush colour. A rectangle of zero or
// negative width or height draws nothing.
void DrawFrameRectangle(QPainter &canvas, const Rect &rect);

// The caption of a picture file: its file name, without the extension (from the last '.')
// unless `keepExtension`.
[[nodiscard]] QString CaptionText(const QString &path, bool keepExtension);

// The caption's reference point (the text's top-left corner before any turn) for a caption
// position around the picture rectangle, for text textWidth x textHeight that is turned a
// quarter clockwise when `turned`. Nothing for a value that is none of the six positions.
[[nodiscard]] std::optional<QPoint> CaptionOrigin(CaptionPosition position, bool turned, const Rect &picture,
                                                  int textWidth, int textHeight);

// The font captions are drawn in for the caption font `spec`: its face (through the font
// mapper's substitutions), its point size (at least 1) on the device it is used on, normal
// weight whatever the style says, italic, underline and strike-out as it says.
[[nodiscard]] QFont CaptionFont(const FontSpec &spec);

// Draws the caption of `path` beside `picture` on `canvas` as the caption settings of `setup`
// say; a picture turned right turns its caption with it.
void DrawCaption(QPainter &canvas, const Rect &picture, const QString &path, Turn orientation,
                 const PageSetup &setup);

} // namespace quiltana
