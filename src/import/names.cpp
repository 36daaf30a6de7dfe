#include "names.h"

#include "error.h"

#include <QDir>
#include <QFile>

namespace quiltana {

namespace {

// The length of the valid UTF-8 sequence that starts at `i`, or 0 when the byte there does
// not start one (a stray continuation byte, an overlong form, a surrogate, a code point past
// U+10FFFF or a sequence cut short).
qsizetype validSequenceAt(const QByteArray &bytes, qsizetype i)
{
    const auto byte = [&](qsizetype k) { return static_cast<unsigned char>(bytes.at(k)); };
    const unsigned char lead = byte(i);
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    unsigned char low = 0x80; // the range of the second byte, narrowed for the edge cases
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // overlong below U+0800
        else if (lead == 0xED)
            high = 0x9F; // UTF-16 surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90; // overlong below U+10000
        else if (lead == 0xF4)
            high = 0x8F; // past U+10FFFF
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    if (byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (qsizetype k = 2; k < length; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF)
            return 0;
    return length;
}

QString hexEscape(unsigned char byte)
{
    return QStringLiteral("\\x") + QString::number(byte, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

} // namespace

bool IsRepresentableName(const QByteArray &raw)
{
    return QFile::encodeName(QFile::decodeName(raw)) == raw;
}

QString EscapedName(const QByteArray &raw)
{
    QString text;
    for (qsizetype i = 0; i < raw.size();) {
        const qsizetype length = validSequenceAt(raw, i);
        const auto lead = static_cast<unsigned char>(raw.at(i));
        if (length == 0 || (length == 1 && (lead < 0x20 || lead == 0x7F))) {
            text += hexEscape(lead);
            ++i;
        } else {
            text += QString::fromUtf8(raw.constData() + i, length);
            i += length;
        }
    }
    return text;
}

QString UnrepresentableNameError(const QByteArray &raw)
{
    return FileErrorText(EscapedName(raw),
                         QStringLiteral("ファイル名がこのシステムの文字コードで表せないため、写真を開けません"));
}

DroppedNames NamesOfDroppedUrls(const QList<QUrl> &urls)
{
    DroppedNames result;
    for (const QUrl &url : urls) {
        if (!url.isLocalFile())
            continue;
        // toLocalFile() has already turned bytes that are no UTF-8 into U+FFFD; the encoded
        // path still holds them as they were.
        const QByteArray raw = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        if (IsRepresentableName(raw))
            result.names.append(QDir::toNativeSeparators(url.toLocalFile()));
        else
            result.refused.append(UnrepresentableNameError(raw));
    }
    return result;
}

} // namespace quiltana
