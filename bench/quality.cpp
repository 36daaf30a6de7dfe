#include "quality.h"

#include "benchcases.h"
#include "geometry.h"
#include "picture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QTextStream>

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include <jpeglib.h>
#include <lcms2.h>

namespace quiltana::bench {

namespace {

[[noreturn]] void fail(const QString &what) { throw std::runtime_error(what.toStdString()); }

// Rows of small black digits on white, drawn with a real font: each row starts a little further
// along than the one above, so that no column of glyphs lines up with the next.
QImage finePrint(int width, int height, int glyphHeight)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QFont font(QStringLiteral("DejaVu Sans"));
    // The pixel size at which the digits stand glyphHeight pixels high.
    for (int pixels = 8; pixels < 80; ++pixels) {
        font.setPixelSize(pixels);
        if (QFontMetrics(font).tightBoundingRect(QStringLiteral("0123456789")).height() >= glyphHeight)
            break;
    }
    const QFontMetrics metrics(font);
    const int digitWidth = metrics.horizontalAdvance(QLatin1Char('0'));
    QString row;
    while (metrics.horizontalAdvance(row) < width + 12 * digitWidth)
        row += QStringLiteral("0123456789 ");
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    int line = 0;
    for (int baseline = metrics.ascent(); baseline < height; baseline += metrics.height(), ++line)
        painter.drawText(QPoint(-((line * 7) % 11) * digitWidth, baseline), row);
    painter.end();
    return image.convertToFormat(QImage::Format_RGB888);
}

// Grey rings cos(k r^2) round the middle, k chosen so that the rings reach the Nyquist
// frequency (half a cycle a pixel) in the corners; the side edges come to 0.4 in a 4:3 picture.
QImage zonePlate(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    const double cx = (width - 1) / 2.0;
    const double cy = (height - 1) / 2.0;
    const double k = std::numbers::pi * 0.5 / std::hypot(cx, cy);
    for (int y = 0; y < height; ++y) {
        uchar *row = image.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const double r2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
            const auto v = static_cast<uchar>(std::lround(127.5 + 127.5 * std::cos(k * r2)));
            row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = v;
        }
    }
    return image;
}

struct JpegErrorJump {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void jumpOnError(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegErrorJump *>(info->err)->jump, 1); }

// libjpeg's part of writeJpeg, kept apart so that only plain data lives across the setjmp.
bool compressJpeg(std::FILE *file, const QImage *image, int quality, const std::vector<unsigned char> *icc)
{
    jpeg_compress_struct info{};
    JpegErrorJump error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jumpOnError;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(image->width());
    info.image_height = static_cast<JDIMENSION>(image->height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    if (!icc->empty())
        jpeg_write_icc_profile(&info, icc->data(), static_cast<unsigned>(icc->size()));
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<uchar *>(image->constScanLine(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

// An RGB888 picture as a JPEG (libjpeg's default 4:2:0), with `icc` embedded where given.
void writeJpeg(const QString &path, const QImage &image, int quality, const std::vector<unsigned char> &icc = {})
{
    std::FILE *file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!file)
        fail(QStringLiteral("cannot write %1").arg(path));
    const bool ok = compressJpeg(file, &image, quality, &icc);
    if (std::fclose(file) != 0 || !ok)
        fail(QStringLiteral("cannot write %1").arg(path));
}

void writePng(const QString &path, const QImage &image)
{
    if (!image.save(path, "PNG"))
        fail(QStringLiteral("cannot write %1").arg(path));
}

enum class WideSpace { AdobeRgb, DisplayP3 };

// The RGB profile of `space`, built as the published ones are: Adobe RGB (1998) with its
// primaries and a pure gamma of 563/256, Display P3 with the P3 primaries and sRGB's tone curve;
// both with the D65 white.
cmsHPROFILE makeProfile(WideSpace space)
{
    const cmsCIExyY d65{0.3127, 0.3290, 1.0};
    const bool adobe = space == WideSpace::AdobeRgb;
    const cmsCIExyYTRIPLE primaries = adobe ? cmsCIExyYTRIPLE{{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}}
                                            : cmsCIExyYTRIPLE{{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}};
    // sRGB's curve as an ICC parametric curve of type 4: (a x + b)^g above d, c x below.
    const cmsFloat64Number srgbCurve[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    cmsToneCurve *curve = adobe ? cmsBuildGamma(nullptr, 563.0 / 256.0) : cmsBuildParametricToneCurve(nullptr, 4, srgbCurve);
    cmsToneCurve *curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&d65, &primaries, curves);
    cmsFreeToneCurve(curve);
    if (!profile)
        fail(QStringLiteral("LittleCMS could not build a profile"));
    cmsMLU *description = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(description, "en", "US", adobe ? "Adobe RGB (1998) compatible" : "Display P3 compatible");
    cmsWriteTag(profile, cmsSigProfileDescriptionTag, description);
    cmsMLUfree(description);
    return profile;
}

// `photo` (taken as sRGB) converted into `space` with the perceptual intent; `icc` receives
// the profile to embed.
QImage convertPhoto(const QImage &photo, WideSpace space, std::vector<unsigned char> *icc)
{
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHPROFILE wide = makeProfile(space);
    cmsUInt32Number bytes = 0;
    cmsSaveProfileToMem(wide, nullptr, &bytes);
    icc->resize(bytes);
    cmsSaveProfileToMem(wide, icc->data(), &bytes);
    cmsHTRANSFORM transform = cmsCreateTransform(srgb, TYPE_RGB_8, wide, TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
    cmsCloseProfile(srgb);
    cmsCloseProfile(wide);
    if (!transform || bytes == 0)
        fail(QStringLiteral("LittleCMS could not convert into the wide colour space"));
    QImage converted(photo.size(), QImage::Format_RGB888);
    for (int y = 0; y < photo.height(); ++y)
        cmsDoTransform(transform, photo.constScanLine(y), converted.scanLine(y), static_cast<cmsUInt32Number>(photo.width()));
    cmsDeleteTransform(transform);
    return converted;
}

// A photograph at full size, stood upright as its EXIF orientation says, as RGB888.
QImage loadUpright(const QString &path)
{
    QImageReader::setAllocationLimit(2048);
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull())
        fail(QStringLiteral("cannot read %1: %2").arg(path, reader.errorString()));
    return image.convertToFormat(QImage::Format_RGB888);
}

// The real photographs of the set (n_*, as shipped); any JPEG where there are none.
QStringList realPhotos(const QString &photoFolder)
{
    QStringList real;
    QStringList any;
    for (const Photo &photo : PhotosIn(photoFolder)) {
        const QFileInfo info(photo.path);
        if (info.suffix().toLower() != QLatin1String("png"))
            (info.fileName().startsWith(QLatin1String("n_")) ? real : any) << photo.path;
    }
    return real.size() >= 11 ? real : real + any;
}

} // namespace

void WriteQualityPictures(const QString &photoFolder, const QString &folder)
{
    std::unique_ptr<QGuiApplication> app;
    if (!QGuiApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "quiltana_bench";
        static char *argv[] = {name, nullptr};
        app = std::make_unique<QGuiApplication>(argc, argv);
    }
    const QDir dir(folder);
    if (!dir.mkpath(QStringLiteral("pictures")) || !dir.mkpath(QStringLiteral("printed")))
        fail(QStringLiteral("cannot make folders in %1").arg(folder));

    struct Entry {
        QString name;
        QString kind;
        QString path;
    };
    std::vector<Entry> entries;
    const auto picturePath = [&](const QString &file) { return dir.filePath(QStringLiteral("pictures/") + file); };

    // Digits 28 pixels high stand about 6 dots high in the cell, small but legible: the chart the
    // targets judge. Digits 14 pixels high come to 3 dots, below legibility; shown beside it.
    for (const auto &[glyphs, kind, label] : {std::tuple{28, "text", "Small text"}, std::tuple{14, "finest-text", "Finest text"}}) {
        const QImage text = finePrint(4000, 3000, glyphs);
        const QString stem = QString::fromLatin1(kind);
        const QString name = QStringLiteral("%1 (digits %2 px)").arg(QString::fromLatin1(label)).arg(glyphs);
        writePng(picturePath(stem + QStringLiteral(".png")), text);
        entries.push_back({name + QStringLiteral(" PNG"), stem + QStringLiteral("-png"), picturePath(stem + QStringLiteral(".png"))});
        writeJpeg(picturePath(stem + QStringLiteral(".jpg")), text, 95);
        entries.push_back({name + QStringLiteral(" JPEG q95"), stem + QStringLiteral("-jpeg"), picturePath(stem + QStringLiteral(".jpg"))});
    }
    writePng(picturePath(QStringLiteral("zoneplate.png")), zonePlate(4000, 3000));
    entries.push_back({QStringLiteral("Zone plate PNG"), QStringLiteral("zone-plate"), picturePath(QStringLiteral("zoneplate.png"))});

    // Ten photographs spread over the set, and one beside them for the wide colour spaces.
    const QStringList photos = realPhotos(photoFolder);
    if (photos.size() < 11)
        fail(QStringLiteral("the quality report needs 11 JPEG photographs in %1").arg(photoFolder));
    for (int i = 0; i < 10; ++i) {
        const QString &path = photos[i * photos.size() / 10];
        entries.push_back({QFileInfo(path).fileName(), QStringLiteral("photo"), path});
    }
    const QImage source = loadUpright(photos[1]);
    for (const WideSpace space : {WideSpace::AdobeRgb, WideSpace::DisplayP3}) {
        const bool adobe = space == WideSpace::AdobeRgb;
        std::vector<unsigned char> icc;
        const QImage converted = convertPhoto(source, space, &icc);
        const QString file = adobe ? QStringLiteral("adobergb.jpg") : QStringLiteral("displayp3.jpg");
        writeJpeg(picturePath(file), converted, 95, icc);
        entries.push_back({QStringLiteral("%1 in %2").arg(QFileInfo(photos[1]).fileName(),
                                                         adobe ? QStringLiteral("Adobe RGB") : QStringLiteral("Display P3")),
                           adobe ? QStringLiteral("adobe-rgb") : QStringLiteral("display-p3"), picturePath(file)});
    }

    QFile manifest(dir.filePath(QStringLiteral("manifest.tsv")));
    if (!manifest.open(QIODevice::WriteOnly | QIODevice::Truncate))
        fail(QStringLiteral("cannot write %1").arg(manifest.fileName()));
    QTextStream out(&manifest);
    out << "name\tkind\tpicture\tprinted\tdecoded\n";
    const Rect cell{0, 0, kQualityCellWidth, kQualityCellHeight};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const FittedPicture fitted = FitPictureFile(cell, entries[i].path, Turn::Upright);
        if (!fitted.rect || fitted.image.isNull())
            fail(QStringLiteral("%1 was not printed").arg(entries[i].path));
        const QString printed = dir.filePath(QStringLiteral("printed/%1.png").arg(i, 2, 10, QLatin1Char('0')));
        writePng(printed, fitted.image.convertToFormat(QImage::Format_RGB888));
        out << entries[i].name << '\t' << entries[i].kind << '\t' << entries[i].path << '\t' << printed << '\t'
            << fitted.decoded.width() << 'x' << fitted.decoded.height() << '\n';
    }
}

} // namespace quiltana::bench
