#include "authoring/line_mods.h"

#include "engine/folded_text.h"
#include "engine/line_diff.h"

#include <QHash>
#include <QStringList>
#include <algorithm>
#include <array>
#include <limits>
#include <optional>

namespace zp {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// A text as the lines between its CR LF breaks (a text that ends with a break has an empty last
// line), held as the offset at which each begins, with one offset more for the end, as if a break
// followed. The text itself stays with the caller.
class Lines
{
public:
    // Breaks are found by their LF, the quickest unit to look for, with the CR before it.
    explicit Lines(const QString& text)
        : text_(text)
    {
        offsets_.push_back(0);
        for (qsizetype lf = text.indexOf(u'\n'); lf >= 0; lf = text.indexOf(u'\n', lf + 1)) {
            if (lf > 0 && text[lf - 1] == u'\r')
                offsets_.push_back(lf + 1);
        }
        offsets_.push_back(text.size() + kCrLf.size());
    }
    qsizetype size() const { return qsizetype(offsets_.size()) - 1; }
    qsizetype Offset(qsizetype i) const { return offsets_[size_t(i)]; }
    QStringView operator[](qsizetype i) const { return Span(i, i + 1); }
    // The lines [from, to) with the breaks between them; empty when there are none.
    QStringView Span(qsizetype from, qsizetype to) const
    {
        if (from >= to)
            return QStringView();
        return QStringView(text_).sliced(Offset(from), Offset(to) - kCrLf.size() - Offset(from));
    }

private:
    const QString& text_;
    std::vector<qsizetype> offsets_;
};

// Two runs of lines, `firstCount` and `secondCount` of them, as one text.
QString Joined(QStringView first, qsizetype firstCount, QStringView second, qsizetype secondCount)
{
    if (firstCount == 0)
        return second.toString();
    if (secondCount == 0)
        return first.toString();
    return first.toString() + kCrLf + second.toString();
}

// Old lines [i0, i1) became new lines [j0, j1).
struct Region
{
    qsizetype i0, i1, j0, j1;
};

// Each line as a number, equal lines equal numbers, over both texts.
struct NumberedLines
{
    std::vector<int> before, after;
};

NumberedLines Numbered(const Lines& before, const Lines& after)
{
    QHash<QStringView, int> numbers;
    const auto numbered = [&numbers](const Lines& lines) {
        std::vector<int> out;
        out.reserve(size_t(lines.size()));
        for (qsizetype i = 0; i < lines.size(); ++i) {
            auto known = numbers.constFind(lines[i]);
            if (known == numbers.constEnd())
                known = numbers.insert(lines[i], int(numbers.size()));
            out.push_back(*known);
        }
        return out;
    };
    NumberedLines numbered_;
    numbered_.before = numbered(before);
    numbered_.after = numbered(after);
    return numbered_;
}

// Whether the lines [from, from + count) equal those `shift` lines further on.
bool Repeats(const std::vector<int>& lines, qsizetype from, qsizetype count, qsizetype shift)
{
    for (qsizetype t = 0; t < count; ++t) {
        if (lines[size_t(from + t)] != lines[size_t(from + shift + t)])
            return false;
    }
    return true;
}

// The region that `a` and `b` make together when the lines of one of them, only removed or only
// added, can move past the equal lines between them to meet the other.
std::optional<Region> Joined(const Region& a, const Region& b, const NumberedLines& lines)
{
    const qsizetype gap = b.i0 - a.i1;
    if (a.j0 == a.j1 && Repeats(lines.before, a.i0, gap, a.i1 - a.i0))
        return Region {a.i0 + gap, b.i1, b.j0, b.j1};
    if (a.i0 == a.i1 && Repeats(lines.after, a.j0, gap, a.j1 - a.j0))
        return Region {b.i0, b.i1, a.j0 + gap, b.j1};
    if (b.j0 == b.j1 && Repeats(lines.before, a.i1, gap, b.i1 - b.i0))
        return Region {a.i0, b.i1 - gap, a.j0, a.j1};
    if (b.i0 == b.i1 && Repeats(lines.after, a.j1, gap, b.j1 - b.j0))
        return Region {a.i0, a.i1, a.j0, b.j1 - gap};
    return std::nullopt;
}

std::vector<Region> ChangedRegions(const Lines& before, const Lines& after)
{
    const NumberedLines numbered = Numbered(before, after);
    const LineChanges changes = CompareLines(numbered.before, numbered.after);

    std::vector<Region> regions;
    const qsizetype n = before.size(), m = after.size();
    for (qsizetype i = 0, j = 0; i < n || j < m;) {
        if (i < n && j < m && !changes.removed[i] && !changes.added[j]) {
            ++i, ++j;
            continue;
        }
        Region region {i, i, j, j};
        while (region.i1 < n && changes.removed[region.i1])
            ++region.i1;
        while (region.j1 < m && changes.added[region.j1])
            ++region.j1;
        i = region.i1;
        j = region.j1;
        if (!regions.empty()) {
            if (const std::optional<Region> joined = Joined(regions.back(), region, numbered)) {
                regions.back() = *joined;
                continue;
            }
        }
        regions.push_back(region);
    }
    return regions;
}

// One way to write a region as a mod: its action and how many unchanged lines above and below the
// region its old data takes in; with what it does to the text (`length` units at `start` become
// `replacement`).
struct Candidate
{
    ModRecord mod;
    qsizetype start = 0;
    qsizetype length = 0;
    QString replacement;
};

// The mods of one text, region by region, over the text as the mods before leave it: the new lines
// above the region, the old lines from it on.
class Recorder
{
public:
    Recorder(const QString& before, const QString& after)
        : before_(before)
        , after_(after)
        , current_(before)
    {
    }

    TextChanges Run()
    {
        TextChanges changes;
        for (const Region& region : ChangedRegions(before_, after_)) {
            region_ = region;
            const std::optional<Candidate> chosen = Choose(changes.refusal);
            if (!chosen)
                return {{}, changes.refusal};
            current_.Replace(chosen->start, chosen->length, chosen->replacement);
            changes.mods.push_back(chosen->mod);
        }
        return changes;
    }

private:
    qsizetype Removed() const { return region_.i1 - region_.i0; }
    qsizetype Added() const { return region_.j1 - region_.j0; }

    // The region with `above` and `below` unchanged lines around it, written as `action`; nothing
    // when that form cannot express it. The lines above are the new text's, the rest the old one's.
    std::optional<Candidate> Make(int action, qsizetype above, qsizetype below) const
    {
        const Region& r = region_;
        if (above > r.j0 || r.i1 + below > before_.size())
            return std::nullopt;
        const qsizetype oldCount = above + Removed() + below, newCount = above + Added() + below;
        const QStringView context = after_.Span(r.j0 - above, r.j0);
        const QStringView following = before_.Span(r.i1, r.i1 + below);
        Candidate c;
        c.mod.ActionType = action;
        c.mod.ModInst = 1;
        c.mod.OldData = Joined(context, above, before_.Span(r.i0, r.i1 + below), Removed() + below);
        if (oldCount == 0 || c.mod.OldData.isEmpty())
            return std::nullopt;
        c.start = after_.Offset(r.j0 - above);
        c.length = c.mod.OldData.size();
        c.replacement = Joined(after_.Span(r.j0 - above, r.j1), above + Added(), following, below);
        const QString added = after_.Span(r.j0, r.j1).toString();
        switch (action) {
        case AddAfter: // the engine puts a line break in front unless the new text has one
            c.mod.NewData = added.startsWith(kCrLf) ? kCrLf + added : added;
            break;
        case AddBefore: // and one after, unless it has one
            c.mod.NewData = added.endsWith(kCrLf) ? added + kCrLf : added;
            break;
        case Delete: // the engine removes the line break after the old data too
            if (r.i1 == before_.size())
                return std::nullopt;
            c.length += kCrLf.size();
            break;
        default:
            // Lines taken out with nothing around them would leave their line break behind.
            if (newCount == 0)
                return std::nullopt;
            c.mod.NewData = c.replacement;
        }
        return c;
    }

    // The forms of the region whose old data takes in `context` unchanged lines, best first.
    std::vector<Candidate> Forms(qsizetype context) const
    {
        std::vector<Candidate> forms;
        const auto add = [&forms](std::optional<Candidate> c) {
            if (c)
                forms.push_back(std::move(*c));
        };
        if (Removed() == 0) {
            add(Make(AddAfter, context, 0));
            add(Make(AddBefore, 0, context));
            for (qsizetype above = 1; above < context; ++above)
                add(Make(Replace, above, context - above));
            return forms;
        }
        if (context == 0 && Added() == 0)
            add(Make(Delete, 0, 0));
        for (qsizetype above = 0; above <= context; ++above)
            add(Make(Replace, above, context - above));
        return forms;
    }

    // Whether the candidate's old data occurs in the current text at its own place only. The text
    // is the new lines above the region and the old ones from it on.
    bool Unique(const Candidate& c) const
    {
        const FoldedSearch search(c.mod.OldData);
        return search.IndexIn(current_, 0) == c.start && search.IndexIn(current_, c.start + 1) < 0;
    }

    // Which occurrence the engine counts the candidate's as: each search starts one unit after the
    // start of the one before.
    int InstanceOf(const Candidate& c) const
    {
        const FoldedSearch search(c.mod.OldData);
        int n = 1;
        for (qsizetype at = search.IndexIn(current_, 0); at >= 0 && at < c.start; at = search.IndexIn(current_, at + 1))
            ++n;
        return n;
    }

    // The form the region is written as; nothing, with the reason, when none can be.
    std::optional<Candidate> Choose(QString& refusal) const
    {
        std::optional<Candidate> first;
        for (qsizetype context = 0; context <= MaxContextLines; ++context) {
            std::vector<Candidate> forms = Forms(context);
            if (!first && !forms.empty())
                first = forms.front();
            // The shortest unique form; of equally short ones the earlier. Each check reads the text.
            std::stable_sort(forms.begin(), forms.end(), [](const Candidate& a, const Candidate& b) {
                return a.mod.OldData.size() < b.mod.OldData.size();
            });
            for (Candidate& c : forms) {
                if (Unique(c))
                    return std::move(c);
            }
        }
        // Only an empty text has no line to find; an instance must fit the field.
        if (!first) {
            refusal = QStringLiteral("the original is empty: a mod has no line to find");
            return std::nullopt;
        }
        const int instance = InstanceOf(*first);
        if (instance > std::numeric_limits<qint16>::max()) {
            refusal = QStringLiteral("no lines around line %1 occur only once, and the nearest occur more than %2 "
                                     "times above it: a mod's instance number counts no further")
                          .arg(region_.i0 + 1)
                          .arg(std::numeric_limits<qint16>::max());
            return std::nullopt;
        }
        first->mod.ModInst = instance;
        return first;
    }

    const Lines before_;
    const Lines after_;
    FoldedText current_;
    Region region_ {};
};

} // namespace

TextChanges RecordTextChanges(const QString& before, const QString& after)
{
    return Recorder(before, after).Run();
}

} // namespace zp
