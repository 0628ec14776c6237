#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace zp {

struct HackListRow;

// Text as the hack filter compares it: case folded and without accents (the combining marks of
// its canonical decomposition left out), so that "Über" and "uber" are the same.
QString FilterFolded(const QString& text);

// The words typed into a filter: a hack matches when its name, version, author or comments contain
// every word, whatever the case and the accents.
class HackFilter
{
public:
    explicit HackFilter(const QString& words = QString());

    bool IsEmpty() const { return words_.isEmpty(); }
    // `searchText` as SearchTextOf gives it.
    bool Matches(const QString& searchText) const;

private:
    QStringList words_;
};

// What the filter searches in a row, folded once so that each key press only compares.
QString SearchTextOf(const HackListRow& row);

// Negative, zero or positive as version `a` is older than, the same as or newer than `b`. The
// versions are compared part by part (parts split at ".", "-", "_" and blanks); two parts that are
// both numbers compare as numbers however long (1.10 is newer than 1.9), others as text without regard to case;
// a missing part counts as 0 against a number (1.0 equals 1, 1.0.1 is newer than 1.0) and as older
// than any text.
int CompareVersions(const QString& a, const QString& b);

// The hack list's columns in the order of their cells.
enum HackListColumn { NameColumn, VersionColumn, AuthorColumn, FilesColumn, ModifiedColumn, InstalledColumn };

// The positions of `rows` in the order of a column: names and authors as text without regard to
// case, versions part by part, support files as numbers, times as times (a cell that is not one
// sorts before every time). Equal cells keep the catalogue's order, whichever way the column is
// sorted.
std::vector<int> SortedRowOrder(const std::vector<HackListRow>& rows, int column, Qt::SortOrder order);

} // namespace zp
