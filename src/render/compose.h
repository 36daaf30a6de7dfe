#pragma once

#include "geometry.h"

#include <QFont>
#include <QPoint>
#include <QString>

#include <optional>

class QPainter;

namespace quiltana {

struct FontSpec;
struct PageSetup;

// Composes the current page (document().page, layout style, pageSetup()) onto `canvas` of
// W x H device units: frames when frameSwitch is 0, then every position whose redraw flag is
// 1 (the flag is consumed), and in print mode (mode 1) the captions. Preview mode is 0.
// A picture that cannot be read throws Error: what was drawn before stays, the cell that
// failed has its flag consumed, later flagged cells keep theirs.
void ComposePage(QPainter &canvas, int W, int H, int frameSwitch, int mode);

// GDI's Rectangle(l, t, r, b) with a one-unit pen: pixels l..r-1 and t..b-1, the outer ring in
// the canvas's pen colour and the inside filled with its brush colour. A rectangle of zero or
// negative width or height draws nothing.
void DrawFrameRectangle(QPainter &canvas, const Rect &rect);

// The caption of a picture file: its file name, without the extension (from the last '.')
// unless `keepExtension`.
[[nodiscard]] QString CaptionText(const QString &path, bool keepExtension);

// The caption's reference point (the text's top-left corner before any turn) for a caption
// position 0..5 around the picture rectangle, for text textWidth x textHeight that is turned a
// quarter clockwise when `turned`. Nothing for a position outside 0..5.
[[nodiscard]] std::optional<QPoint> CaptionOrigin(int position, bool turned, const Rect &picture,
                                                  int textWidth, int textHeight);

// The font captions are drawn in for the caption font `spec`: its face (through the font
// mapper's substitutions), its point size (at least 1) on the device it is used on, normal
// weight whatever the style says, italic, underline and strike-out as it says.
[[nodiscard]] QFont CaptionFont(const FontSpec &spec);

// Draws the caption of `path` beside `picture` on `canvas` as the caption settings of `setup`
// say; `orientation` 1 turns it with the picture.
void DrawCaption(QPainter &canvas, const Rect &picture, const QString &path, int orientation,
                 const PageSetup &setup);

} // namespace quiltana
