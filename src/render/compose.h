#pragma once

class QPainter;

namespace quiltana {

// Composes the current page (document().page, layout style, pageSetup()) onto `canvas` of
// W x H device units: frames when frameSwitch is 0, then every position whose redraw flag is
// 1 (the flag is consumed), and in print mode (mode 1) the captions. Preview mode is 0.
void ComposePage(QPainter &canvas, int W, int H, int frameSwitch, int mode);

} // namespace quiltana
