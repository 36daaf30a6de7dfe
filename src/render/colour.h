#pragma once

#include <cstddef>
#include <memory>

namespace quiltana {

// Embedded colour profiles larger than this are not read: the largest real ones (press CMYK
// profiles with 16-bit tables) take a few megabytes.
inline constexpr std::size_t kMaxColourProfileBytes = 8u * 1024 * 1024;

// What a decoder delivers before the conversion to sRGB.
enum class DecodedColours {
    Rgb,          // RGB888
    Grey,         // RGB888 with R = G = B (a grey picture widened to RGB)
    Cmyk,         // 4 bytes a pixel, 0 = no ink
    CmykInverted, // 4 bytes a pixel as Adobe stores them, 255 = no ink
};

// Turns the rows of one decoded picture into sRGB, through the colour profile embedded in its
// file. A picture without a profile, or with one that is broken, too large, of another colour
// space than its pixels or of a kind that cannot be converted, is taken as sRGB already: its
// colours pass unchanged (CMYK through the plain formula), and the picture is never refused
// for its profile. Transforms are built once per distinct profile and shared by every picture
// and thread that carries the same one. Every function is noexcept: they run inside the C
// decoders' error regions.
class SrgbConverter {
public:
    // Taken as sRGB.
    SrgbConverter() noexcept = default;
    // Through `profile` (`size` bytes, an ICC profile as stored in the file).
    [[nodiscard]] static SrgbConverter ForProfile(const unsigned char *profile, std::size_t size,
                                                  DecodedColours colours) noexcept;

    // Whether rows pass unchanged (RGB and grey) or through the plain formula (CMYK).
    [[nodiscard]] bool isIdentity() const noexcept { return !transform_; }

    // `width` RGB888 pixels (Rgb or Grey), converted in place.
    void convertRgb(unsigned char *rgb, int width) const noexcept;
    // `width` CMYK pixels (4 bytes each, Cmyk or CmykInverted as given to ForProfile, or
    // `inverted` for a converter taken as sRGB) to RGB888.
    void convertCmyk(const unsigned char *cmyk, unsigned char *rgb, int width, bool inverted) const noexcept;

    struct Transform;

private:
    std::shared_ptr<const Transform> transform_;
};

// One channel of a pixel of opacity `alpha` (0..255) laid onto white paper, rounded: opaque
// keeps the colour, fully transparent is 255.
[[nodiscard]] constexpr unsigned char LaidOnWhite(unsigned colour, unsigned alpha) noexcept
{
    return static_cast<unsigned char>((colour * alpha + 255 * (255 - alpha) + 127) / 255);
}

// `width` RGBA pixels (not premultiplied) laid onto white paper: RGB888 out, rounded. Opaque
// pixels keep their colour exactly; fully transparent ones are (255, 255, 255).
void CompositeOnWhite(const unsigned char *rgba, unsigned char *rgb, int width) noexcept;

} // namespace quiltana
