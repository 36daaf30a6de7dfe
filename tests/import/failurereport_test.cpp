// The error box's text after an import with failures: a few listed whole, many summed up with
// the whole list in the details, over-long lines shortened without splitting a character.
#include <gtest/gtest.h>

#include "failurereport.h"

namespace quiltana {
namespace {

QStringList failures(int n, const QString &folder = QStringLiteral("/写真"))
{
    QStringList list;
    for (int i = 1; i <= n; ++i)
        list.append(QStringLiteral("%1/IMG_%2.jpg: JPEG ファイルとして読めません").arg(folder).arg(i));
    return list;
}

TEST(FailureReport, FewAreListedWholeManyAreSummedUpWithTheListInTheDetails)
{
    EXPECT_EQ(ComposeFailureReport({}).text, QString());

    const QStringList few = failures(kFailuresListedWhole);
    const FailureReport whole = ComposeFailureReport(few);
    EXPECT_EQ(whole.text, few.join(QLatin1Char('\n')));
    EXPECT_TRUE(whole.details.isEmpty());

    const QStringList many = failures(1000);
    const FailureReport summed = ComposeFailureReport(many);
    const QStringList lines = summed.text.split(QLatin1Char('\n'));
    EXPECT_EQ(lines.first(), QStringLiteral("1000 個のファイルを読み込めませんでした。"));
    EXPECT_EQ(lines.size(), 2 + kFailuresListedWhole + 1); // summary, gap, the first few, "…"
    EXPECT_EQ(lines.at(2), many.first());
    EXPECT_EQ(lines.at(1 + kFailuresListedWhole), many.at(kFailuresListedWhole - 1));
    EXPECT_FALSE(summed.text.contains(many.at(kFailuresListedWhole)));
    EXPECT_EQ(summed.details, many.join(QLatin1Char('\n')));
}

TEST(FailureReport, OverLongLinesAreShortenedInTheirMiddleAndKeptWholeInTheDetails)
{
    // Characters outside the basic plane (two UTF-16 units each) at every possible cut.
    for (const QString &unit : {QStringLiteral("a"), QStringLiteral("𠮷"), QStringLiteral("写")}) {
        const QString path = QStringLiteral("/") + unit.repeated(3000) + QStringLiteral("/IMG_1.png");
        const QString line = path + QStringLiteral(": 写真が大きすぎます");
        const FailureReport report = ComposeFailureReport({line, failures(1).first()});
        const QStringList lines = report.text.split(QLatin1Char('\n'));
        ASSERT_EQ(lines.size(), 2);
        EXPECT_LE(lines.first().size(), kLongestListedLine);
        EXPECT_TRUE(lines.first().startsWith(QStringLiteral("/") + unit));
        EXPECT_TRUE(lines.first().endsWith(QStringLiteral("写真が大きすぎます")));
        for (qsizetype i = 0; i < lines.first().size(); ++i) {
            const QChar c = lines.first().at(i);
            ASSERT_FALSE(c.isHighSurrogate() && (i + 1 == lines.first().size() || !lines.first().at(i + 1).isLowSurrogate()))
                << "half a character at " << i;
            ASSERT_FALSE(c.isLowSurrogate() && (i == 0 || !lines.first().at(i - 1).isHighSurrogate()))
                << "half a character at " << i;
        }
        EXPECT_EQ(lines.last(), failures(1).first());
        EXPECT_EQ(report.details, line + QLatin1Char('\n') + failures(1).first());
    }
}

} // namespace
} // namespace quiltana
