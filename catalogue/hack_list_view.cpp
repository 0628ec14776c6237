#include "catalogue/hack_list_view.h"

#include "core/catalogue_operations.h"

#include <QRegularExpression>
#include <algorithm>
#include <optional>

namespace zp {

namespace {

bool IsAscii(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

// A LastMod or LastInstall stamp ("12-06-2001 2:49am") as minutes since year 0, nothing for any
// other text. The stamp writes noon as 12 am and midnight as 0 am, so am adds nothing.
std::optional<qint64> StampMinutes(const QString& text)
{
    static const QRegularExpression stamp(QStringLiteral("^(\\d\\d)-(\\d\\d)-(\\d{4}) (\\d{1,2}):(\\d\\d)([ap]m)$"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = stamp.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    int hour = m.captured(4).toInt();
    if (m.captured(6).compare(QLatin1String("pm"), Qt::CaseInsensitive) == 0 && hour < 12)
        hour += 12;
    const qint64 days = m.captured(3).toLongLong() * 372 + m.captured(1).toInt() * 31 + m.captured(2).toInt();
    return days * 1440 + hour * 60 + m.captured(5).toInt();
}

// A version part made of decimal digits only, without its leading zeros ("007" is "7", "0" is
// ""), so that two numbers of any length compare as their values: the longer one is the larger,
// else the first digit that differs decides. Nothing for any other part.
std::optional<QStringView> Digits(const QString& part)
{
    if (part.isEmpty() || !std::all_of(part.begin(), part.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    QStringView digits(part);
    while (digits.startsWith(u'0'))
        digits = digits.sliced(1);
    return digits;
}

int CompareStamps(const QString& a, const QString& b)
{
    const std::optional<qint64> x = StampMinutes(a), y = StampMinutes(b);
    if (x && y)
        return *x < *y ? -1 : *x > *y ? 1 : 0;
    if (x || y)
        return x ? 1 : -1;
    return a.compare(b, Qt::CaseInsensitive);
}

int CompareCells(int column, const QString& a, const QString& b)
{
    switch (column) {
    case VersionColumn:
        return CompareVersions(a, b);
    case FilesColumn: {
        const qint64 x = a.toLongLong(), y = b.toLongLong();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    case ModifiedColumn:
    case InstalledColumn:
        return CompareStamps(a, b);
    default:
        return a.compare(b, Qt::CaseInsensitive);
    }
}

} // namespace

QString FilterFolded(const QString& text)
{
    if (IsAscii(text))
        return text.toLower();
    QString folded;
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    folded.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.category() != QChar::Mark_NonSpacing)
            folded.append(c);
    }
    return folded.toCaseFolded();
}

HackFilter::HackFilter(const QString& words)
    : words_(FilterFolded(words).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
{
}

bool HackFilter::Matches(const QString& searchText) const
{
    return std::all_of(words_.begin(), words_.end(), [&](const QString& word) { return searchText.contains(word); });
}

QString SearchTextOf(const HackListRow& row)
{
    // A line break between the fields, so that no word is found across two of them.
    return FilterFolded(row.cells.value(NameColumn) + QLatin1Char('\n') + row.cells.value(VersionColumn)
                        + QLatin1Char('\n') + row.cells.value(AuthorColumn) + QLatin1Char('\n') + row.comments);
}

int CompareVersions(const QString& a, const QString& b)
{
    static const QRegularExpression separators(QStringLiteral("[.\\-_\\s]+"));
    const QStringList x = a.split(separators, Qt::SkipEmptyParts);
    const QStringList y = b.split(separators, Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < qMax(x.size(), y.size()); ++i) {
        const QString p = x.value(i), q = y.value(i);
        const std::optional<QStringView> m = Digits(p), n = Digits(q);
        int result = 0;
        if (m && n)
            result = m->size() != n->size() ? (m->size() < n->size() ? -1 : 1) : m->compare(*n);
        else if (p.isEmpty() || q.isEmpty())
            // 1.0 is 1, and 1.0.1 is newer than 1.0: a missing part counts as 0 against a number.
            result = (p.isEmpty() ? (n && n->isEmpty() ? 0 : -1) : (m && m->isEmpty() ? 0 : 1));
        else
            result = p.compare(q, Qt::CaseInsensitive);
        if (result != 0)
            return result < 0 ? -1 : 1;
    }
    return 0;
}

std::vector<int> SortedRowOrder(const std::vector<HackListRow>& rows, int column, Qt::SortOrder order)
{
    std::vector<int> positions(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        positions[i] = int(i);
    std::stable_sort(positions.begin(), positions.end(), [&](int i, int j) {
        const int result
            = CompareCells(column, rows[size_t(i)].cells.value(column), rows[size_t(j)].cells.value(column));
        return order == Qt::AscendingOrder ? result < 0 : result > 0;
    });
    return positions;
}

} // namespace zp
