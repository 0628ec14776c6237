#include "boardcheck/anchor_choice.h"

#include "boardcheck/mod_carry.h"
#include "engine/folded_text.h"

#include <algorithm>
#include <vector>

namespace zp {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// How many whole lines beyond the change's own an anchor may take in, as for a recorded mod.
constexpr int kContextLines = 12;

// Where the line holding unit `at` begins, and where it ends (at its CR LF, or the end).
qsizetype LineStart(const QString& text, qsizetype at)
{
    if (at < 2)
        return 0;
    const qsizetype crlf = text.lastIndexOf(kCrLf, at - 2);
    return crlf < 0 ? 0 : crlf + 2;
}

qsizetype LineEnd(const QString& text, qsizetype at)
{
    const qsizetype crlf = text.indexOf(kCrLf, at);
    return crlf < 0 ? text.size() : crlf;
}

// The starts of the line holding `at` and of the lines above it, nearest first.
std::vector<qsizetype> StartsAbove(const QString& text, qsizetype at)
{
    std::vector<qsizetype> starts {LineStart(text, at)};
    while (int(starts.size()) <= kContextLines && starts.back() > 0)
        starts.push_back(LineStart(text, starts.back() - 2));
    return starts;
}

// The ends of the line holding `at` and of the lines below it, nearest first.
std::vector<qsizetype> EndsBelow(const QString& text, qsizetype at)
{
    std::vector<qsizetype> ends {LineEnd(text, at)};
    while (int(ends.size()) <= kContextLines && ends.back() < text.size())
        ends.push_back(LineEnd(text, ends.back() + 2));
    return ends;
}

// The mod's own change: `removed` units at a place become `added`.
struct OwnChange
{
    QString removed;
    QString added;
};

// What the mod puts in or changes, whatever its anchor: found by applying it to its own old data.
std::optional<OwnChange> OwnChangeOf(const ModRecord& mod)
{
    ModRecord alone = mod;
    alone.ModInst = 1;
    const std::optional<QString> applied = AppliedMod(mod.OldData, alone);
    if (!applied)
        return std::nullopt;
    const QString& old = mod.OldData;
    switch (mod.ActionType) {
    case AddAfter:
    case Append:
        return OwnChange {QString(), applied->mid(old.size())};
    case AddBefore:
    case Insert:
        return OwnChange {QString(), applied->left(applied->size() - old.size())};
    case Replace: {
        qsizetype head = 0;
        while (head < old.size() && head < applied->size() && old[head] == (*applied)[head])
            ++head;
        qsizetype tail = 0;
        while (tail < old.size() - head && tail < applied->size() - head
               && old[old.size() - 1 - tail] == (*applied)[applied->size() - 1 - tail])
            ++tail;
        return OwnChange {old.mid(head, old.size() - head - tail), applied->mid(head, applied->size() - head - tail)};
    }
    default:
        return std::nullopt;
    }
}

// The places where the change turns `before` into `after`: `before` with `removed` at the place
// replaced by `added` is `after`.
std::vector<qsizetype> PlacesOf(const QString& before, const QString& after, const OwnChange& change)
{
    std::vector<qsizetype> places;
    if (after.size() - before.size() != change.added.size() - change.removed.size())
        return places;
    qsizetype head = 0;
    while (head < before.size() && head < after.size() && before[head] == after[head])
        ++head;
    qsizetype tail = 0;
    while (tail < before.size() && tail < after.size()
           && before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    const qsizetype removed = change.removed.size();
    const qsizetype first = std::max<qsizetype>(0, before.size() - tail - removed);
    const qsizetype last = std::min(head, before.size() - removed);
    for (qsizetype at = first; at <= last; ++at) {
        if (QStringView(before).mid(at, removed) == change.removed
            && QStringView(after).mid(at, change.added.size()) == change.added)
            places.push_back(at);
    }
    return places;
}

} // namespace

std::optional<ModRecord> ReanchoredMod(const QString& before, const QString& after, const ModRecord& mod)
{
    const std::optional<OwnChange> change = OwnChangeOf(mod);
    if (!change || before == after)
        return std::nullopt;
    std::vector<ModRecord> forms;
    for (const qsizetype at : PlacesOf(before, after, *change)) {
        const qsizetype end = at + change->removed.size();
        const auto add = [&](qsizetype from, qsizetype to, int lines) {
            if (to <= from || lines > kContextLines + 1)
                return;
            ModRecord form = mod;
            form.ModInst = 1;
            form.OldData = before.mid(from, to - from);
            if (mod.ActionType == Replace)
                form.NewData = before.mid(from, at - from) + change->added + before.mid(end, to - end);
            forms.push_back(form);
        };
        const std::vector<qsizetype> starts = StartsAbove(before, at);
        const std::vector<qsizetype> ends = EndsBelow(before, end);
        switch (mod.ActionType) {
        case AddAfter:
        case Append:
            for (size_t i = 0; i < starts.size(); ++i)
                add(starts[i], at, int(i) + 1);
            break;
        case AddBefore:
        case Insert:
            for (size_t i = 0; i < ends.size(); ++i)
                add(at, ends[i], int(i) + 1);
            break;
        default:
            for (size_t i = 0; i < starts.size(); ++i) {
                for (size_t j = 0; j < ends.size(); ++j)
                    add(starts[i], ends[j], int(i + j) + 1);
            }
        }
    }
    // The shortest form that occurs once and gives exactly the text after; of equally short ones
    // the earlier.
    std::stable_sort(forms.begin(), forms.end(), [](const ModRecord& a, const ModRecord& b) {
        return a.OldData.size() < b.OldData.size();
    });
    const FoldedText text(before);
    for (const ModRecord& form : forms) {
        const FoldedSearch search(form.OldData);
        const qsizetype first = search.IndexIn(text, 0);
        if (first >= 0 && search.IndexIn(text, first + 1) < 0 && AppliedMod(before, form) == after)
            return form;
    }
    return std::nullopt;
}

} // namespace zp
