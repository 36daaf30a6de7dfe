#include "error.h"

#include <QDir>

namespace quiltana {

Error::Error(const QString &message) : std::runtime_error(message.toStdString()), message_(message) {}

ConversionError::ConversionError(const QString &text)
    : Error(QStringLiteral("「%1」は正しい数値ではありません").arg(text))
{
}

QString FileErrorText(const QString &path, const QString &reason, const QString &detail)
{
    QString text = QDir::toNativeSeparators(path) + QStringLiteral(": ") + reason;
    if (!detail.isEmpty())
        text += QStringLiteral(" (") + detail + QLatin1Char(')');
    return text;
}

} // namespace quiltana
