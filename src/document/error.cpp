#include "error.h"

#include <QDir>

#include <cerrno>

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

QString SystemErrorText(int errnum)
{
    switch (errnum) {
    case ENOSPC:
        return QStringLiteral("ディスクがいっぱいです");
#ifdef EDQUOT
    case EDQUOT:
        return QStringLiteral("ディスクの使用量の上限に達しました");
#endif
    case EACCES:
    case EPERM:
        return QStringLiteral("アクセスが許可されていません");
    case EROFS:
        return QStringLiteral("読み取り専用のディスクです");
    case ENOENT:
        return QStringLiteral("ファイルまたはフォルダがありません");
    case ENOTDIR:
        return QStringLiteral("フォルダではないものがパスの途中にあります");
    case EISDIR:
        return QStringLiteral("同じ名前のフォルダがあります");
    case EEXIST:
        return QStringLiteral("同じ名前のファイルがあります");
    case ENAMETOOLONG:
        return QStringLiteral("ファイル名が長すぎます");
    case EIO:
        return QStringLiteral("ディスクの読み書きでエラーが起きました");
    case EFBIG:
        return QStringLiteral("ファイルが大きすぎます");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("開いているファイルが多すぎます");
    case ENOMEM:
        return QStringLiteral("メモリが足りません");
    case ELOOP:
        return QStringLiteral("シンボリックリンクが多すぎます");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("ファイルが使用中です");
    default:
        return QStringLiteral("エラー %1: %2").arg(errnum).arg(qt_error_string(errnum));
    }
}

} // namespace quiltana
