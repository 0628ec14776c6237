#pragma once

#include <QHash>
#include <QString>
#include <vector>

namespace zp {

// The lines of texts held as the work buffer holds them (every line break CR LF), each line a
// number: equal lines, equal numbers, across every text numbered by one table. A text that ends
// with a break has an empty last line, so joining the lines with CR LF gives the text again.
class LineTable
{
public:
    // A text with its lines numbered and the offset at which each begins.
    struct NumberedText
    {
        QString text;
        std::vector<int> lines;
        std::vector<qsizetype> starts;
    };

    std::vector<int> Number(const QString& text) { return NumberText(text).lines; }
    NumberedText NumberText(const QString& text);
    // `after`, a text that differs from `before` in one stretch, numbered by reading that stretch
    // only: the lines before it and after it are `before`'s.
    NumberedText Renumber(const NumberedText& before, const QString& after);
    QString Join(const std::vector<int>& lines) const;

private:
    void Add(NumberedText& into, qsizetype offset, QStringView text);

    // The lines are views of the texts numbered, which the table keeps.
    std::vector<QString> texts_;
    QHash<QStringView, int> ids_;
    std::vector<QStringView> lines_;
};

// Lines [base0, base1) of the base, [ours0, ours1) of ours and [theirs0, theirs1) of theirs that
// both sides changed, each in its own way.
struct MergeConflict
{
    int base0, base1, ours0, ours1, theirs0, theirs1;
};

struct LineMerge
{
    // The merged lines; where the sides conflict, theirs.
    std::vector<int> lines;
    std::vector<MergeConflict> conflicts;

    bool Clean() const { return conflicts.empty(); }
};

// The three-way merge of two texts changed from a common base, over the line diff of the base
// with each. The lines both keep split the texts into blocks: a block only one side changed is
// taken from that side, a block both changed the same way once, any other block is a conflict.
LineMerge MergeLines(const std::vector<int>& base, const std::vector<int>& ours, const std::vector<int>& theirs);

} // namespace zp
