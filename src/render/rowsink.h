#pragma once

#include "picturefile.h"

#include <QSize>

namespace quiltana {

// Receives a decoded picture row by row, top to bottom, as RGB888, from the JPEG and PNG
// decoders. Its functions are called from inside the C decoders' error regions, which a C++
// exception must never cross, so they report failure by their results and never throw.
class RowSink {
public:
    virtual ~RowSink() = default;

    // The smallest output that serves the sink for a picture of fullWidth x fullHeight; a
    // decoder that can reduce while decoding may deliver anything that holds it.
    [[nodiscard]] virtual QSize minimumOutput(int fullWidth, int fullHeight) const noexcept
    {
        return QSize(fullWidth, fullHeight);
    }
    // The decoder will deliver `height` rows of `width` pixels of a picture whose own size is
    // fullWidth x fullHeight. Returns nullptr when ready, or the reason it cannot take them.
    [[nodiscard]] virtual const char *start(int width, int height, int fullWidth,
                                            int fullHeight) noexcept = 0;
    // Where row y (width * 3 bytes) is to be written; then rowDone(y) follows.
    [[nodiscard]] virtual unsigned char *rowBuffer(int y) noexcept = 0;
    virtual void rowDone(int y) noexcept { (void)y; }
    // Whether every rowBuffer stays valid until the end, so rows can be filled in any order.
    [[nodiscard]] virtual bool keepsRows() const noexcept { return false; }
    // Told by the decoder, before anything else, the EXIF orientation of the picture (1 when
    // it has none) and its stored size: answers the sink that is to take the rows, this one or
    // one that collects the stored picture whole, to be stood upright once decoded.
    [[nodiscard]] virtual RowSink *sinkFor(int exifOrientation, int fullWidth, int fullHeight) noexcept
    {
        (void)exifOrientation;
        (void)fullWidth;
        (void)fullHeight;
        return this;
    }

    // The flag that asks the decoder feeding this sink to give up (none: it never does).
    void setStop(const StopFlag *stop) noexcept { stop_ = stop; }
    [[nodiscard]] const StopFlag *stop() const noexcept { return stop_; }

private:
    const StopFlag *stop_ = nullptr;
};

} // namespace quiltana
