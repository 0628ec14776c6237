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
    std::vector<int> Number(const QString& text);
    QString Join(const std::vector<int>& lines) const;

private:
    QHash<QString, int> ids_;
    std::vector<QString> lines_;
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
