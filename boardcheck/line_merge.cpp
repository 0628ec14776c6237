#include "boardcheck/line_merge.h"

#include "engine/line_diff.h"

#include <algorithm>

namespace zp {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// For each base line the line of `other` it is kept as, or -1 where the diff took it out.
std::vector<int> KeptAs(const std::vector<int>& base, const std::vector<int>& other)
{
    const LineChanges changes = CompareLines(base, other);
    std::vector<int> kept(base.size(), -1);
    size_t j = 0;
    for (size_t i = 0; i < base.size(); ++i) {
        if (changes.removed[i])
            continue;
        while (changes.added[j])
            ++j;
        kept[i] = int(j++);
    }
    return kept;
}

bool SameLines(const std::vector<int>& a, int a0, int a1, const std::vector<int>& b, int b0, int b1)
{
    return a1 - a0 == b1 - b0 && std::equal(a.begin() + a0, a.begin() + a1, b.begin() + b0);
}

} // namespace

// Numbers the lines of `text`, which begins at `offset` of into.text, onto the end of `into`.
void LineTable::Add(NumberedText& into, qsizetype offset, QStringView text)
{
    const auto add = [&](qsizetype from, qsizetype to) {
        const QStringView line = text.mid(from, to - from);
        auto known = ids_.constFind(line);
        if (known == ids_.constEnd()) {
            known = ids_.insert(line, int(lines_.size()));
            lines_.push_back(line);
        }
        into.lines.push_back(*known);
        into.starts.push_back(offset + from);
    };
    qsizetype start = 0;
    for (qsizetype lf = text.indexOf(u'\n'); lf >= 0; lf = text.indexOf(u'\n', lf + 1)) {
        if (lf > start && text[lf - 1] == u'\r') {
            add(start, lf - 1);
            start = lf + 1;
        }
    }
    add(start, text.size());
}

LineTable::NumberedText LineTable::NumberText(const QString& text)
{
    texts_.push_back(text);
    ids_.reserve(ids_.size() + text.count(u'\n') + 1); // grown once, not line by line
    NumberedText numbered {text, {}, {}};
    Add(numbered, 0, texts_.back());
    return numbered;
}

LineTable::NumberedText LineTable::Renumber(const NumberedText& before, const QString& after)
{
    const QString& old = before.text;
    const qsizetype shortest = std::min(old.size(), after.size());
    const qsizetype head = std::mismatch(old.begin(), old.begin() + shortest, after.begin()).first - old.begin();
    qsizetype tail = 0;
    while (tail < shortest - head && old[old.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    // Line k holds the first unit that differs; line j is the first after it whose line break in
    // front lies in the common end.
    const size_t k
        = size_t(std::upper_bound(before.starts.begin(), before.starts.end(), head) - before.starts.begin()) - 1;
    size_t j = k + 1;
    while (j < before.starts.size() && before.starts[j] - 2 < old.size() - tail)
        ++j;
    const qsizetype shift = after.size() - old.size();
    const qsizetype middleEnd = j < before.starts.size() ? before.starts[j] - 2 + shift : after.size();
    texts_.push_back(after);
    NumberedText numbered {
        after, {before.lines.begin(), before.lines.begin() + k}, {before.starts.begin(), before.starts.begin() + k}};
    Add(numbered, before.starts[k], QStringView(texts_.back()).mid(before.starts[k], middleEnd - before.starts[k]));
    for (size_t i = j; i < before.starts.size(); ++i) {
        numbered.lines.push_back(before.lines[i]);
        numbered.starts.push_back(before.starts[i] + shift);
    }
    return numbered;
}

QString LineTable::Join(const std::vector<int>& lines) const
{
    qsizetype size = 0;
    for (const int line : lines)
        size += lines_[size_t(line)].size() + kCrLf.size();
    QString text;
    text.reserve(size);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text += kCrLf;
        text += lines_[size_t(lines[i])];
    }
    return text;
}

LineMerge MergeLines(const std::vector<int>& base, const std::vector<int>& ours, const std::vector<int>& theirs)
{
    const std::vector<int> inOurs = KeptAs(base, ours);
    const std::vector<int> inTheirs = KeptAs(base, theirs);
    const int n = int(base.size());
    LineMerge merge;
    int i = 0, o = 0, t = 0;
    while (i < n || o < int(ours.size()) || t < int(theirs.size())) {
        if (i < n && inOurs[size_t(i)] == o && inTheirs[size_t(i)] == t) {
            merge.lines.push_back(base[size_t(i)]);
            ++i, ++o, ++t;
            continue;
        }
        // The block runs to the next base line both sides keep, or to the ends.
        int j = i;
        while (j < n && (inOurs[size_t(j)] < 0 || inTheirs[size_t(j)] < 0))
            ++j;
        const int o1 = j < n ? inOurs[size_t(j)] : int(ours.size());
        const int t1 = j < n ? inTheirs[size_t(j)] : int(theirs.size());
        const bool oursChanged = !SameLines(base, i, j, ours, o, o1);
        const bool theirsChanged = !SameLines(base, i, j, theirs, t, t1);
        if (oursChanged && theirsChanged && !SameLines(ours, o, o1, theirs, t, t1))
            merge.conflicts.push_back({i, j, o, o1, t, t1});
        if (oursChanged && !theirsChanged)
            merge.lines.insert(merge.lines.end(), ours.begin() + o, ours.begin() + o1);
        else
            merge.lines.insert(merge.lines.end(), theirs.begin() + t, theirs.begin() + t1);
        i = j, o = o1, t = t1;
    }
    return merge;
}

} // namespace zp
