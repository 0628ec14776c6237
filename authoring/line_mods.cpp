#include "authoring/line_mods.h"

#include "install/folded_text.h"
#include "install/line_diff.h"

#include <QHash>
#include <QStringList>
#include <algorithm>
#include <limits>
#include <optional>

namespace zp {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// A text as the lines between its CR LF breaks (a text that ends with a break has an empty last
// line), with the offset at which each begins; one offset more for the end, as if a break followed.
struct Lines
{
    // Breaks are found by their LF, the quickest unit to look for, with the CR before it.
    explicit Lines(const QString& text)
    {
        qsizetype start = 0;
        for (qsizetype lf = text.indexOf(u'\n'); lf >= 0; lf = text.indexOf(u'\n', lf + 1)) {
            if (lf > start && text[lf - 1] == u'\r') {
                Add(text, start, lf - 1);
                start = lf + 1;
            }
        }
        Add(text, start, text.size());
        offsets.push_back(text.size() + kCrLf.size());
    }
    qsizetype size() const { return items.size(); }

    void Add(const QString& text, qsizetype from, qsizetype to)
    {
        offsets.push_back(from);
        items.push_back(text.mid(from, to - from));
    }

    QStringList items;
    std::vector<qsizetype> offsets;
};

// Old lines [i0, i1) became new lines [j0, j1).
struct Region
{
    qsizetype i0, i1, j0, j1;
};

std::vector<Region> ChangedRegions(const Lines& before, const Lines& after)
{
    QHash<QString, int> numbers;
    const auto numbered = [&numbers](const QStringList& lines) {
        std::vector<int> out;
        out.reserve(lines.size());
        for (const QString& line : lines) {
            auto known = numbers.constFind(line);
            if (known == numbers.constEnd())
                known = numbers.insert(line, int(numbers.size()));
            out.push_back(*known);
        }
        return out;
    };
    const std::vector<int> oldNumbers = numbered(before.items);
    const std::vector<int> newNumbers = numbered(after.items);
    const LineChanges changes = CompareLines(oldNumbers, newNumbers);

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
        regions.push_back(region);
        i = region.i1;
        j = region.j1;
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

    std::optional<std::vector<ModRecord>> Run()
    {
        std::vector<ModRecord> mods;
        for (const Region& region : ChangedRegions(before_, after_)) {
            region_ = region;
            const std::optional<Candidate> chosen = Choose();
            if (!chosen)
                return std::nullopt;
            current_.Replace(chosen->start, chosen->length, chosen->replacement);
            mods.push_back(chosen->mod);
        }
        return mods;
    }

private:
    qsizetype Removed() const { return region_.i1 - region_.i0; }
    qsizetype Added() const { return region_.j1 - region_.j0; }

    // The lines [from, to) of the new text (above the region) or of the old one (from it on).
    static QStringList Slice(const Lines& lines, qsizetype from, qsizetype to)
    {
        return lines.items.mid(from, to - from);
    }

    // The region with `above` and `below` unchanged lines around it, written as `action`; nothing
    // when that form cannot express it.
    std::optional<Candidate> Make(int action, qsizetype above, qsizetype below) const
    {
        const Region& r = region_;
        if (above > r.j0 || r.i1 + below > before_.size())
            return std::nullopt;
        const QStringList context = Slice(after_, r.j0 - above, r.j0);
        const QStringList following = Slice(before_, r.i1, r.i1 + below);
        const QStringList oldLines = context + Slice(before_, r.i0, r.i1) + following;
        const QStringList newLines = context + Slice(after_, r.j0, r.j1) + following;
        Candidate c;
        c.mod.ActionType = action;
        c.mod.ModInst = 1;
        c.mod.OldData = oldLines.join(kCrLf);
        if (oldLines.isEmpty() || c.mod.OldData.isEmpty())
            return std::nullopt;
        c.start = after_.offsets[r.j0 - above];
        c.length = c.mod.OldData.size();
        c.replacement = newLines.join(kCrLf);
        const QString added = Slice(after_, r.j0, r.j1).join(kCrLf);
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
            if (newLines.isEmpty())
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

    std::optional<Candidate> Choose() const
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
        if (!first || InstanceOf(*first) > std::numeric_limits<qint16>::max())
            return std::nullopt;
        first->mod.ModInst = InstanceOf(*first);
        return first;
    }

    const Lines before_;
    const Lines after_;
    FoldedText current_;
    Region region_ {};
};

} // namespace

std::optional<std::vector<ModRecord>> RecordTextChanges(const QString& before, const QString& after)
{
    return Recorder(before, after).Run();
}

} // namespace zp
