#include "error.h"

namespace quiltana {

Error::Error(const QString &message) : std::runtime_error(message.toStdString()), message_(message) {}

ConversionError::ConversionError(const QString &text)
    : Error(QStringLiteral("'%1' is not a valid floating point value").arg(text))
{
}

} // namespace quiltana
