#include "preview.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <exception>

#include "decode.h"
#include "error.h"
#include "paths.h"

namespace quiltana {

QSize PreviewFit(const QSize &picture, int side)
{
    if (picture.width() < 1 || picture.height() < 1 || side < 1)
        return QSize(0, 0);
    if (picture.width() <= side && picture.height() <= side)
        return picture;
    // The longer side becomes `side`; the other follows in proportion, truncated.
    const double scale = double(side) / std::max(picture.width(), picture.height());
    const int width = std::clamp(static_cast<int>(std::trunc(picture.width() * scale)), 1, side);
    const int height = std::clamp(static_cast<int>(std::trunc(picture.height() * scale)), 1, side);
    return QSize(width, height);
}

QString ErrorTextWithoutPath(const QString &message, const QString &path)
{
    if (path.isEmpty())
        return message;
    const auto parts = [&message](qsizetype at) {
        return at < message.size()
               && (message.at(at).isSpace() || message.at(at) == QLatin1Char(':')
                   || message.at(at) == QChar(0xFF1A)); // the full-width colon
    };
    for (const QString &named : {QDir::toNativeSeparators(path), path}) {
        // The path itself, not a longer name that begins like it.
        if (!message.startsWith(named) || !parts(named.size()))
            continue;
        qsizetype from = named.size();
        while (parts(from))
            ++from;
        // A text that is the path and nothing else says nothing without it.
        return from < message.size() ? message.mid(from) : message;
    }
    return message;
}

PicturePreviewImage DecodePreview(const QString &path, int side)
{
    if (side < 1 || !QFileInfo(path).isFile())
        return {};
    try {
        // A file of another kind gets the decoder's own refusal.
        const PictureKind kind = pictureKindOf(path);
        int fullWidth = 0;
        int fullHeight = 0;
        const QImage decoded = DecodePictureForSize(path, kind, side, side, &fullWidth, &fullHeight);
        if (decoded.isNull())
            return {};
        const QSize fit = PreviewFit(decoded.size(), side);
        QImage shown = fit == decoded.size()
                           ? decoded
                           : decoded.scaled(fit, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        return {std::move(shown), QSize(fullWidth, fullHeight), {}};
    } catch (const Error &error) {
        // The dialog is for choosing: it tells why there is no preview, and loading the file
        // would report the same fault.
        return {{}, {}, ErrorTextWithoutPath(error.message(), path)};
    } catch (const std::exception &error) {
        return {{}, {}, QString::fromLocal8Bit(error.what())};
    }
}

} // namespace quiltana
