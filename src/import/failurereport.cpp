#include "failurereport.h"

namespace quiltana {
namespace {

// The start and the end of an over-long line, which hold the folder and the reason.
QString shortened(const QString &line)
{
    if (line.size() <= kLongestListedLine)
        return line;
    const QString gap = QStringLiteral(" … ");
    const qsizetype kept = kLongestListedLine - gap.size();
    qsizetype head = kept / 2;
    qsizetype tail = kept - head;
    // Never split a surrogate pair: half a character would show as a box.
    if (line.at(head - 1).isHighSurrogate())
        --head;
    if (line.at(line.size() - tail).isLowSurrogate())
        --tail;
    return line.left(head) + gap + line.right(tail);
}

} // namespace

FailureReport ComposeFailureReport(const QStringList &errors)
{
    FailureReport report;
    if (errors.isEmpty())
        return report;
    const bool summed = errors.size() > kFailuresListedWhole;
    QStringList shown;
    bool cut = false;
    for (qsizetype i = 0; i < errors.size() && i < kFailuresListedWhole; ++i) {
        shown.append(shortened(errors.at(i)));
        cut = cut || shown.constLast().size() != errors.at(i).size();
    }
    if (summed) {
        report.text = QStringLiteral("%1 個のファイルを読み込めませんでした。\n\n").arg(errors.size())
                      + shown.join(QLatin1Char('\n')) + QStringLiteral("\n…");
    } else {
        report.text = shown.join(QLatin1Char('\n'));
    }
    if (summed || cut)
        report.details = errors.join(QLatin1Char('\n'));
    return report;
}

} // namespace quiltana
