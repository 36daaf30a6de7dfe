#include "pagelist.h"

#include <QByteArray>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>

namespace quiltana {

namespace {

// Blanks and control characters separate items, as in a comma-separated list.
bool isSeparatorBlank(QChar c) { return c.unicode() <= u' '; }

// C's isspace in the "C" locale.
bool isCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool startsWithNoCase(std::string_view s, std::string_view word)
{
    if (s.size() < word.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if ((s[i] | 0x20) != word[i])
            return false;
    return true;
}

// Where from_chars found a number too large or too small for a double: strtod gives infinity
// for the one and zero for the other, and so do we.
double outOfRangeValue(std::string_view matched, char exponentLetter)
{
    for (std::size_t i = 0; i < matched.size(); ++i)
        if ((matched[i] | 0x20) == exponentLetter)
            return (i + 1 < matched.size() && matched[i + 1] == '-') ? 0.0
                                                                     : std::numeric_limits<double>::infinity();
    return std::numeric_limits<double>::infinity();
}

double unsignedNumber(std::string_view s)
{
    const char *begin = s.data();
    const char *end = s.data() + s.size();
    if (s.size() >= 2 && s[0] == '0' && (s[1] | 0x20) == 'x') {
        double v = 0;
        const auto r = std::from_chars(begin + 2, end, v, std::chars_format::hex);
        if (r.ec == std::errc())
            return v;
        if (r.ec == std::errc::result_out_of_range)
            return outOfRangeValue(std::string_view(begin + 2, r.ptr - begin - 2), 'p');
        return 0.0; // "0x" without hex digits: only the "0" is a number
    }
    if (startsWithNoCase(s, "inf"))
        return std::numeric_limits<double>::infinity();
    if (startsWithNoCase(s, "nan"))
        return 0.0; // no page number can come of it
    double v = 0;
    const auto r = std::from_chars(begin, end, v, std::chars_format::general);
    if (r.ec == std::errc())
        return v;
    if (r.ec == std::errc::result_out_of_range)
        return outOfRangeValue(std::string_view(begin, r.ptr - begin), 'e');
    return 0.0;
}

} // namespace

QStringList SplitPageItems(const QString &text)
{
    QStringList items;
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto skipBlanks = [&] {
        while (i < n && isSeparatorBlank(text[i]))
            ++i;
    };
    skipBlanks();
    while (i < n) {
        QString item;
        if (text[i] == u'"') {
            ++i;
            while (i < n) {
                if (text[i] == u'"') {
                    if (i + 1 < n && text[i + 1] == u'"') {
                        item += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text[i++];
            }
        } else {
            const qsizetype start = i;
            while (i < n && !isSeparatorBlank(text[i]) && text[i] != u',')
                ++i;
            item = text.mid(start, i - start);
        }
        items.append(item);
        skipBlanks();
        if (i < n && text[i] == u',') {
            if (i + 1 == n)
                items.append(QString()); // a trailing comma ends in an empty item
            ++i;
            skipBlanks();
        }
    }
    return items;
}

double LeadingNumber(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::string_view s(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    std::size_t i = 0;
    while (i < s.size() && isCSpace(s[i]))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    const double v = unsignedNumber(s.substr(i));
    return negative ? -v : v;
}

int LeadingInteger(const QString &text)
{
    const double v = std::trunc(LeadingNumber(text));
    if (std::isnan(v))
        return 0;
    if (v >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (v <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

int pageIndexFromNumber(int pageNumber)
{
    if (pageNumber < 1 || pageNumber > kMaxPageNumber)
        return -1;
    return pageNumber - 1;
}

PageSelection ParsePageSelection(const QString &text)
{
    PageSelection selection{};
    auto select = [&selection](int pageNumber) {
        const int index = pageIndexFromNumber(pageNumber);
        if (index >= 0)
            selection[static_cast<std::size_t>(index)] = true;
    };
    for (const QString &item : SplitPageItems(text)) {
        const qsizetype dash = item.indexOf(u'-');
        if (dash < 0) {
            select(LeadingInteger(item));
            continue;
        }
        const int lower = LeadingInteger(item);
        int upper = LeadingInteger(item.mid(dash + 1));
        if (upper == 0)
            upper = kOpenRangeEnd;
        // Only numbers that can name a page matter, so the loop never runs far.
        const int first = std::max(lower, 1);
        const int last = std::min(upper, kMaxPageNumber);
        for (int number = first; number <= last; ++number)
            select(number);
    }
    return selection;
}

std::vector<int> SelectedPages(const QString &text, int pageCount)
{
    const PageSelection selection = ParsePageSelection(text);
    std::vector<int> pages;
    const int limit = std::min(pageCount, kMaxPageNumber);
    for (int p = 0; p < limit; ++p)
        if (selection[static_cast<std::size_t>(p)])
            pages.push_back(p);
    return pages;
}

} // namespace quiltana
