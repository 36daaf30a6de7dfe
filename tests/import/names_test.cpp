#include "names.h"

#include "importfixture.h"

#include <QFile>

#include <gtest/gtest.h>

namespace quiltana {
namespace {

TEST(FileNames, OnlyValidUtf8NamesAreRepresentable)
{
    const struct {
        const char *name;
        QByteArray bytes;
        bool representable;
    } rows[] = {
        {"plain", "/tmp/p/cafe.jpg", true},
        {"Japanese and a blank", QStringLiteral("/tmp/写真 夏.jpg").toUtf8(), true},
        {"outside the BMP", "/tmp/\xF0\x9F\x93\xB7.png", true},
        {"a real U+FFFD in the name", "/tmp/\xEF\xBF\xBD.png", true},
        {"a line break", "line\nbreak.jpg", true},
        {"empty", QByteArray(), true},
        {"Latin-1 e acute", "/tmp/p/caf\xE9.jpg", false},
        {"a stray continuation byte", "/tmp/\x80.jpg", false},
        {"an overlong '/'", "/tmp/\xC0\xAF.jpg", false},
        {"a UTF-16 surrogate", "/tmp/\xED\xA0\x80.jpg", false},
        {"past U+10FFFF", "/tmp/\xF4\x90\x80\x80.jpg", false},
        {"a sequence cut short", "/tmp/\xE5\x86.jpg", false},
        {"cut short by the end", "/tmp/end\xE5", false},
    };
    for (const auto &row : rows)
        EXPECT_EQ(IsRepresentableName(row.bytes), row.representable) << row.name;
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
    EXPECT_EQ(UnrepresentableNameError("/tmp/p/caf\xE9.jpg"), NameRefusal(QStringLiteral("/tmp/p/caf\\xE9.jpg")));
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
    EXPECT_EQ(dropped.refused.at(0), NameRefusal(QStringLiteral("/tmp/p/caf\\xE9.jpg")));
    EXPECT_EQ(dropped.refused.at(1), NameRefusal(QStringLiteral("/tmp/dir\\xFF")));
}

} // namespace
} // namespace quiltana
