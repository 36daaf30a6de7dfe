#pragma once

#include <QString>
#include <QStringList>

namespace quiltana {

// What the error box says after an import that could not convert some of its pictures. A few
// failures are listed whole; more are summed up ("n 個のファイルを読み込めませんでした"), the first
// few named, and the whole list goes to the box's scrollable details, so the box stays within
// the screen however many files failed.
struct FailureReport {
    QString text;    // the box's own text
    QString details; // the complete list, or empty when the text holds it all
};

inline constexpr int kFailuresListedWhole = 5;
// A line longer than this is shortened in the box's text (its middle left out); the details
// keep it whole.
inline constexpr int kLongestListedLine = 160;

[[nodiscard]] FailureReport ComposeFailureReport(const QStringList &errors);

} // namespace quiltana
