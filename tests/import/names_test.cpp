#include "names.h"

#include <QFile>

#include <gtest/gtest.h>

namespace quiltana {
namespace {

TEST(FileNames, OnlyValidUtf8NamesAreRepresentable)
{
    EXPECT_TRUE(IsRepresentableName("/tmp/p/cafe.jpg"));
    EXPECT_TRUE(IsRepresentableName(QStringLiteral("/tmp/写真 夏.jpg").toUtf8()));
    EXPECT_TRUE(IsRepresentableName("/tmp/\xF0\x9F\x93\xB7.png")); // outside the BMP
    EXPECT_TRUE(IsRepresentableName("/tmp/\xEF\xBF\xBD.png"));     // a real U+FFFD in the name
    EXPECT_TRUE(IsRepresentableName("line\nbreak.jpg"));
    EXPECT_TRUE(IsRepresentableName(QByteArray()));

    EXPECT_FALSE(IsRepresentableName("/tmp/p/caf\xE9.jpg"));   // Latin-1 é
    EXPECT_FALSE(IsRepresentableName("/tmp/\x80.jpg"));        // a stray continuation byte
    EXPECT_FALSE(IsRepresentableName("/tmp/\xC0\xAF.jpg"));    // overlong '/'
    EXPECT_FALSE(IsRepresentableName("/tmp/\xED\xA0\x80.jpg")); // a UTF-16 surrogate
    EXPECT_FALSE(IsRepresentableName("/tmp/\xF4\x90\x80\x80.jpg")); // past U+10FFFF
    EXPECT_FALSE(IsRepresentableName("/tmp/\xE5\x86.jpg"));    // a sequence cut short
    EXPECT_FALSE(IsRepresentableName("/tmp/end\xE5"));         // cut short by the end
}

TEST(FileNames, EscapingShowsEveryBadByteAndKeepsTheRest)
{
    EXPECT_EQ(EscapedName("/tmp/p/caf\xE9.jpg"), QStringLiteral("/tmp/p/caf\\xE9.jpg"));
    EXPECT_EQ(EscapedName(QStringLiteral("写真\n.jpg").toUtf8() + "\xFF\x0A"),
              QStringLiteral("写真\\x0A.jpg\\xFF\\x0A"));
    // A cut sequence escapes its lead byte only; what follows is read again on its own.
    EXPECT_EQ(EscapedName("a\xE5\x86z"), QStringLiteral("a\\xE5\\x86z"));
    EXPECT_EQ(EscapedName("\xE5\x86\x99"), QStringLiteral("写"));
    EXPECT_EQ(EscapedName("\xC0\xAF\xED\xA0\x80\x7F"), QStringLiteral("\\xC0\\xAF\\xED\\xA0\\x80\\x7F"));
    EXPECT_EQ(EscapedName("\xF0\x9F\x93\xB7"), QString::fromUtf8("\xF0\x9F\x93\xB7"));
    EXPECT_EQ(EscapedName(QByteArray()), QString());
}

TEST(FileNames, ErrorNamesTheFileEscaped)
{
    const QString text = UnrepresentableNameError("/tmp/p/caf\xE9.jpg");
    EXPECT_TRUE(text.startsWith(QStringLiteral("/tmp/p/caf\\xE9.jpg: "))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("ファイル名"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QChar(0xFFFD)));
}

TEST(FileNames, DroppedUrlsGiveBackTheirBytes)
{
    const QList<QUrl> urls = {
        QUrl::fromLocalFile(QStringLiteral("/tmp/写真 100%.jpg")),
        QUrl::fromEncoded("file:///tmp/p/caf%E9.jpg"),
        QUrl(QStringLiteral("https://example.org/remote.jpg")), // not a local file: passed over
        QUrl::fromEncoded("file:///tmp/dir%FF"),
        QUrl::fromLocalFile(QStringLiteral("/tmp/plain.png")),
    };
    const DroppedNames dropped = NamesOfDroppedUrls(urls);
    EXPECT_EQ(dropped.names, QStringList({QStringLiteral("/tmp/写真 100%.jpg"), QStringLiteral("/tmp/plain.png")}));
    ASSERT_EQ(dropped.refused.size(), 2);
    EXPECT_EQ(dropped.refused.at(0), UnrepresentableNameError("/tmp/p/caf\xE9.jpg"));
    EXPECT_EQ(dropped.refused.at(1), UnrepresentableNameError("/tmp/dir\xFF"));
}

} // namespace
} // namespace quiltana
