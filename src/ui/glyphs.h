#pragma once

#include <QIcon>
#include <QImage>
#include <QSize>

namespace quiltana {

// The 16 x 16 image of toolbar button SpeedButton<n> (1..12); an empty icon for other numbers.
// Drawn here in a few flat colours rather than loaded, so the program carries no image files.
[[nodiscard]] QIcon ToolbarGlyph(int button);

// The program's picture (a quilt of small photographs): the window icon, the About box's
// ProgramIcon and the splash picture, at any size.
[[nodiscard]] QImage ProgramPicture(QSize size);

// ProgramPicture at the usual icon sizes, for the window icon.
[[nodiscard]] QIcon ProgramIcon();

} // namespace quiltana
