// Colour profiles and transparency: decoded pictures against LittleCMS's own conversion of the
// same samples, profiles that cannot serve taken as sRGB, transparency laid onto white.
#include "colour.h"
#include "decode.h"
#include "picturewriter.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <lcms2.h>
#include <png.h>
#include <zlib.h>

#include <array>
#include <cmath>
#include <iostream>

namespace quiltana {
namespace {

using Bytes = std::vector<unsigned char>;
constexpr int kWidth = 24, kHeight = 16;

Bytes Saved(cmsHPROFILE profile)
{
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    Bytes bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

// Adobe RGB (1998): its primaries, gamma 563/256. Display P3: its primaries, sRGB's tone curve.
// Grey: linear (gamma 1), far from sRGB's curve.
enum class Made { AdobeRgb, DisplayP3, LinearGrey };
Bytes MadeProfile(Made made)
{
    const cmsCIExyY d65{0.3127, 0.3290, 1};
    const double srgbCurve[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    cmsToneCurve *curve = made == Made::DisplayP3 ? cmsBuildParametricToneCurve(nullptr, 4, srgbCurve)
                                                  : cmsBuildGamma(nullptr, made == Made::AdobeRgb ? 563.0 / 256 : 1.0);
    cmsToneCurve *curves[3] = {curve, curve, curve};
    const cmsCIExyYTRIPLE adobe{{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}};
    const cmsCIExyYTRIPLE p3{{0.68, 0.32, 1}, {0.265, 0.69, 1}, {0.15, 0.06, 1}};
    Bytes bytes = Saved(made == Made::LinearGrey ? cmsCreateGrayProfile(&d65, curve)
                                                 : cmsCreateRGBProfile(&d65, made == Made::AdobeRgb ? &adobe : &p3, curves));
    cmsFreeToneCurve(curve);
    return bytes;
}

// `samples` in `format` through `profile` to sRGB, as LittleCMS itself converts them.
Bytes ToSrgb(const Bytes &profile, cmsUInt32Number format, const Bytes &samples)
{
    cmsHPROFILE in = cmsOpenProfileFromMem(profile.data(), static_cast<cmsUInt32Number>(profile.size()));
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHTRANSFORM transform = cmsCreateTransform(in, format, srgb, TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
    const std::size_t pixels = samples.size() / (T_CHANNELS(format) + T_EXTRA(format));
    Bytes rgb(pixels * 3);
    EXPECT_NE(transform, nullptr);
    if (transform)
        cmsDoTransform(transform, samples.data(), rgb.data(), static_cast<cmsUInt32Number>(pixels));
    cmsDeleteTransform(transform);
    cmsCloseProfile(in);
    cmsCloseProfile(srgb);
    return rgb;
}

unsigned char OnWhite(int colour, int alpha)
{
    return static_cast<unsigned char>(std::lround((colour * alpha + 255.0 * (255 - alpha)) / 255));
}

double MeanError(const QImage &image, const Bytes &rgb)
{
    EXPECT_EQ(std::size_t(image.width()) * image.height() * 3, rgb.size());
    double sum = 0;
    for (std::size_t i = 0; i < rgb.size(); ++i)
        sum += std::abs(image.constScanLine(int(i / 3 / kWidth))[i % (3 * kWidth)] - rgb[i]);
    return sum / static_cast<double>(rgb.size());
}

// The samples libjpeg decodes, in the file's own colours (grey, RGB or CMYK), profile unread.
Bytes JpegSamples(const QByteArray &jpeg)
{
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr error{};
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char *>(jpeg.constData()), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = cinfo.num_components == 4 ? JCS_CMYK : cinfo.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(&cinfo);
    Bytes samples(std::size_t(kWidth) * kHeight * cinfo.output_components);
    for (JSAMPROW row = samples.data(); cinfo.output_scanline < cinfo.output_height; row += kWidth * cinfo.output_components)
        jpeg_read_scanlines(&cinfo, &row, 1);
    jpeg_destroy_decompress(&cinfo);
    return samples;
}

// The JPEG with `profile` in APP2 segments of `piece` bytes, each numbered as one of `count`.
QByteArray WithProfileSegments(const QByteArray &jpeg, const Bytes &profile, std::size_t piece, int count)
{
    QByteArray segments;
    for (std::size_t at = 0, n = 1; at < profile.size(); at += piece, ++n) {
        const auto bytes = std::min(piece, profile.size() - at);
        const int length = static_cast<int>(2 + 14 + bytes);
        segments += QByteArray("\xff\xe2", 2) + char(length >> 8) + char(length & 255) + QByteArray("ICC_PROFILE", 12)
                    + char(n) + char(count) + QByteArray(reinterpret_cast<const char *>(profile.data() + at), qsizetype(bytes));
    }
    return jpeg.left(2) + segments + jpeg.mid(2);
}

Bytes Pattern(int channels)
{
    Bytes samples;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth * channels; ++x)
            samples.push_back(static_cast<unsigned char>(x / channels * 11 + y * 17 + x % channels * 70));
    return samples;
}

QByteArray PatternJpeg(int components, const Bytes &profile)
{
    return test::EncodeJpeg({kWidth, kHeight, components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK,
                             components, JCS_UNKNOWN, false, false, true, false, 95, Pattern(components), profile});
}

void WritePatternPng(const QString &path, int colorType, int channels, bool interlaced, const Bytes &profile)
{
    const Bytes samples = Pattern(channels);
    test::PngSpec spec{kWidth, kHeight, colorType, 8, interlaced, {}, {}, {}, -1, -1, profile};
    for (auto row = samples.begin(); row != samples.end(); row += kWidth * channels)
        spec.rows.emplace_back(row, row + kWidth * channels);
    test::WritePng(path, spec);
}

// A top-down 24-bit BMP with a version 5 header embedding `profile` after its rows.
void WritePatternBmp(const QString &path, const Bytes &profile)
{
    const Bytes samples = Pattern(3);
    const int rowBytes = kWidth * 3; // a multiple of four
    QByteArray b(14 + 124, '\0');
    const auto put = [&b](int at, qint64 v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<char>(v >> (8 * i) & 0xff);
    };
    b[0] = 'B';
    b[1] = 'M';
    put(2, 14 + 124 + rowBytes * kHeight + static_cast<qint64>(profile.size()));
    put(10, 14 + 124);
    put(14, 124);
    put(18, kWidth);
    put(22, -kHeight);
    put(26, 1 | 24 << 16); // planes, bits a pixel
    put(14 + 56, 0x4D424544); // the profile is embedded
    put(14 + 112, 124 + rowBytes * kHeight); // from the start of the info header
    put(14 + 116, static_cast<qint64>(profile.size()));
    for (std::size_t i = 0; i < samples.size(); i += 3)
        for (const std::size_t c : {i + 2, i + 1, i})
            b += static_cast<char>(samples[c]);
    b += QByteArray(reinterpret_cast<const char *>(profile.data()), static_cast<qsizetype>(profile.size()));
    test::WriteBytes(path, b);
}

// What the decoders deliver is LittleCMS's conversion of what libjpeg or libpng decodes, and
// differs from the picture taken as sRGB (the profile matters). Rows streamed into a work
// copy are converted just as well.
TEST(ColourProfiles, PicturesComeThroughTheirProfiles)
{
    QTemporaryDir dir;
    const Bytes adobe = MadeProfile(Made::AdobeRgb), p3 = MadeProfile(Made::DisplayP3);
    const Bytes grey = MadeProfile(Made::LinearGrey);
    // A press CMYK profile as Debian's libgs-common ships it.
    QFile cmykFile(QStringLiteral("/usr/share/color/icc/ghostscript/default_cmyk.icc"));
    const QByteArray cmykBytes = cmykFile.open(QIODevice::ReadOnly) ? cmykFile.readAll() : QByteArray();
    const Bytes cmyk(cmykBytes.begin(), cmykBytes.end());
    constexpr PictureKind kJpeg = PictureKind::Jpeg, kPng = PictureKind::Png, kBmp = PictureKind::Bmp;
    const struct {
        PictureKind kind;
        int channels;
        int colorType; // PNG
        bool interlaced;
        const Bytes &profile;
        std::size_t piece; // JPEG: the profile split by hand into APP2 segments of that many bytes
    } cases[] = {
        {kJpeg, 3, 0, false, adobe, 0},
        {kJpeg, 3, 0, false, p3, 0},
        {kJpeg, 3, 0, false, adobe, adobe.size() / 2 + 1},
        {kJpeg, 1, 0, false, grey, 0},
        {kJpeg, 4, 0, false, cmyk, 0},
        {kPng, 3, PNG_COLOR_TYPE_RGB, false, adobe, 0},
        {kPng, 3, PNG_COLOR_TYPE_RGB, true, p3, 0},
        {kPng, 1, PNG_COLOR_TYPE_GRAY, false, grey, 0},
        {kPng, 4, PNG_COLOR_TYPE_RGB_ALPHA, false, adobe, 0},
        {kPng, 4, PNG_COLOR_TYPE_RGB_ALPHA, true, p3, 0},
        {kBmp, 3, 0, false, adobe, 0},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto &c = cases[i];
        SCOPED_TRACE(i);
        if (c.profile.empty()) {
            std::cout << "No CMYK profile (Debian package libgs-common): a CMYK JPEG through one is not tried.\n";
            continue;
        }
        const QString plain = dir.filePath(QStringLiteral("plain")), tagged = dir.filePath(QString::number(i));
        Bytes samples = Pattern(c.channels);
        if (c.kind == kJpeg) {
            const QByteArray bytes = PatternJpeg(c.channels, {});
            test::WriteBytes(plain, bytes);
            test::WriteBytes(tagged, c.piece ? WithProfileSegments(bytes, c.profile, c.piece, 2) : PatternJpeg(c.channels, c.profile));
            samples = JpegSamples(bytes);
        } else if (c.kind == kBmp) {
            WritePatternBmp(plain, {});
            WritePatternBmp(tagged, c.profile);
        } else {
            WritePatternPng(plain, c.colorType, c.channels, c.interlaced, {});
            WritePatternPng(tagged, c.colorType, c.channels, c.interlaced, c.profile);
        }
        // libjpeg writes CMYK with Adobe's marker, hence inverted.
        const cmsUInt32Number formats[] = {0, TYPE_GRAY_8, 0, TYPE_RGB_8, static_cast<cmsUInt32Number>(c.kind == kJpeg ? TYPE_CMYK_8_REV : TYPE_RGBA_8)};
        Bytes reference = ToSrgb(c.profile, formats[c.channels], samples);
        for (std::size_t p = 0; c.colorType == PNG_COLOR_TYPE_RGB_ALPHA && p < reference.size(); ++p)
            reference[p] = OnWhite(reference[p], samples[p / 3 * 4 + 3]);
        const QImage image = DecodePicture(tagged, c.kind);
        EXPECT_LE(MeanError(image, reference), 3.0);
        EXPECT_GT(MeanError(DecodePicture(plain, c.kind), reference), 3.0);
        EXPECT_EQ(DecodeWorkCopyImage(tagged, c.kind, kHeight), image);
    }
}

// Broken profiles, profiles of other colours than the picture's, one missing a piece, and
// sRGB's own: the picture decodes exactly as without a profile.
TEST(ColourProfiles, ProfilesThatCannotServeAreTakenAsSrgb)
{
    QTemporaryDir dir;
    const Bytes adobe = MadeProfile(Made::AdobeRgb), grey = MadeProfile(Made::LinearGrey);
    const Bytes garbage(600, 0x5a);
    const Bytes srgb = Saved(cmsCreate_sRGBProfile());
    const QByteArray rgbJpeg = PatternJpeg(3, {}), greyJpeg = PatternJpeg(1, {}), png = test::QuadrantPng(kWidth, kHeight);
    const auto iccp = [](const Bytes &profile) {
        uLongf size = compressBound(static_cast<uLong>(profile.size()));
        QByteArray packed(static_cast<qsizetype>(size), '\0');
        compress(reinterpret_cast<Bytef *>(packed.data()), &size, profile.data(), static_cast<uLong>(profile.size()));
        return QByteArray("icc\0\0", 5) + packed.left(static_cast<qsizetype>(size));
    };
    const struct {
        PictureKind kind;
        QByteArray plain, tagged;
    } cases[] = {
        {PictureKind::Jpeg, rgbJpeg, WithProfileSegments(rgbJpeg, garbage, 1000, 1)},
        {PictureKind::Jpeg, rgbJpeg, WithProfileSegments(rgbJpeg, grey, 1000, 1)},
        {PictureKind::Jpeg, greyJpeg, WithProfileSegments(greyJpeg, adobe, 1000, 1)},
        {PictureKind::Jpeg, rgbJpeg, WithProfileSegments(rgbJpeg, adobe, adobe.size() / 2 + 1, 3)},
        {PictureKind::Jpeg, rgbJpeg, WithProfileSegments(rgbJpeg, srgb, 1000, 1)},
        {PictureKind::Png, png, test::WithPngChunk(png, "iCCP", iccp(garbage))},
        {PictureKind::Png, png, test::WithPngChunk(png, "iCCP", iccp(grey))},
    };
    const QString plain = dir.filePath(QStringLiteral("plain")), tagged = dir.filePath(QStringLiteral("tagged"));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        test::WriteBytes(plain, cases[i].plain);
        test::WriteBytes(tagged, cases[i].tagged);
        EXPECT_EQ(DecodePicture(tagged, cases[i].kind), DecodePicture(plain, cases[i].kind));
    }
    // Above the bound, even a good profile is not read.
    Bytes padded = adobe;
    padded.resize(kMaxColourProfileBytes);
    EXPECT_FALSE(SrgbConverter::ForProfile(padded.data(), padded.size(), DecodedColours::Rgb).isIdentity());
    padded.push_back(0);
    EXPECT_TRUE(SrgbConverter::ForProfile(padded.data(), padded.size(), DecodedColours::Rgb).isIdentity());
}

// Each kind of transparency a PNG has: the file, and its pixels' colours and opacities.
TEST(ColourProfiles, TransparencyIsLaidOntoWhite)
{
    using Pixels = std::vector<std::array<int, 4>>;
    const std::pair<test::PngSpec, Pixels> cases[] = {
        {{3, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, false, {{200, 100, 50, 255, 10, 20, 30, 0, 200, 100, 50, 128}}},
         {{200, 100, 50, 255}, {10, 20, 30, 0}, {200, 100, 50, 128}}},
        {{3, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, {{90, 255, 90, 0, 90, 77}}}, {{90, 90, 90, 255}, {90, 90, 90, 0}, {90, 90, 90, 77}}},
        // 16-bit samples are cut to their high byte.
        {{1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, {{0x33, 0x99, 0x80, 0x00}}}, {{0x33, 0x33, 0x33, 0x80}}},
        {{4, 1, PNG_COLOR_TYPE_PALETTE, 2, false, {{0b00'01'10'11}}, {255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30}, {255, 0, 128}},
         {{255, 0, 0, 255}, {0, 255, 0, 0}, {0, 0, 255, 128}, {10, 20, 30, 255}}},
        {{2, 1, PNG_COLOR_TYPE_GRAY, 8, false, {{40, 90}}, {}, {}, 40}, {{40, 40, 40, 0}, {90, 90, 90, 255}}},
        {{2, 1, PNG_COLOR_TYPE_RGB, 8, false, {{10, 20, 30, 10, 20, 31}}, {}, {}, -1, 0x0a141e}, {{10, 20, 30, 0}, {10, 20, 31, 255}}},
    };
    QTemporaryDir dir;
    for (const auto &[spec, pixels] : cases) {
        SCOPED_TRACE(spec.colorType * 100 + spec.bitDepth);
        test::WritePng(dir.filePath(QStringLiteral("t.png")), spec);
        const QImage image = DecodePicture(dir.filePath(QStringLiteral("t.png")), PictureKind::Png);
        ASSERT_EQ(image.width(), static_cast<int>(pixels.size()));
        for (int x = 0; x < image.width(); ++x) {
            const auto &[r, g, b, a] = pixels[static_cast<std::size_t>(x)];
            EXPECT_EQ(image.pixel(x, 0) & 0xffffffu, qRgb(OnWhite(r, a), OnWhite(g, a), OnWhite(b, a)) & 0xffffffu) << x;
        }
    }
}

} // namespace
} // namespace quiltana
