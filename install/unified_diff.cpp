#include "install/unified_diff.h"

#include "app/worker_threads.h"
#include "engine/line_diff.h"
#include "install/trial_installation.h"

#include <QScopeGuard>
#include <algorithm>
#include <bit>
#include <functional>
#include <future>
#include <string_view>
#include <vector>

namespace zp {

namespace {

constexpr int kContext = 3;

using Lines = std::vector<QByteArrayView>;

// The lines of a text, each with its LF; the last one may lack it.
Lines SplitLines(const QByteArray& text)
{
    Lines lines;
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype end = text.indexOf('\n', start);
        const qsizetype next = end < 0 ? text.size() : end + 1;
        lines.push_back(QByteArrayView(text).sliced(start, next - start));
        start = next;
    }
    return lines;
}

// One line of the edit script: ' ' kept, '-' taken out, '+' put in.
struct Edit
{
    char kind;
    int oldLine, newLine; // where it stands in either text (0-based; the next line for the other side)
};

// Numbers lines so that equal lines get equal numbers: an open-addressing table keyed by the
// line's hash, the bytes compared only when the hashes match.
class LineNumbering
{
public:
    explicit LineNumbering(size_t lines)
        : slots_(std::bit_ceil(2 * lines + 1))
    {
    }

    std::vector<int> Numbers(const Lines& lines)
    {
        std::vector<int> numbers;
        numbers.reserve(lines.size());
        for (const QByteArrayView line : lines)
            numbers.push_back(Number(line));
        return numbers;
    }

private:
    struct Slot
    {
        size_t hash = 0;
        QByteArrayView line;
        int number = -1;
    };

    int Number(QByteArrayView line)
    {
        const size_t hash = std::hash<std::string_view> {}(std::string_view(line.data(), size_t(line.size())));
        const size_t mask = slots_.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            Slot& slot = slots_[i];
            if (slot.number < 0) {
                slot = {hash, line, next_++};
                return slot.number;
            }
            if (slot.hash == hash && slot.line == line)
                return slot.number;
        }
    }

    std::vector<Slot> slots_;
    int next_ = 0;
};

std::vector<Edit> EditScript(const Lines& oldLines, const Lines& newLines)
{
    LineNumbering numbering(oldLines.size() + newLines.size());
    const std::vector<int> oldIds = numbering.Numbers(oldLines);
    const std::vector<int> newIds = numbering.Numbers(newLines);
    const LineChanges changes = CompareLines(oldIds, newIds);
    std::vector<Edit> script;
    int i = 0, j = 0;
    const int n = int(oldLines.size()), m = int(newLines.size());
    while (i < n || j < m) {
        if (i < n && changes.removed[i])
            script.push_back({'-', i++, j});
        else if (j < m && changes.added[j])
            script.push_back({'+', i, j++});
        else
            script.push_back({' ', i++, j++});
    }
    return script;
}

QByteArray Range(int first, int count)
{
    // An empty range names the line before it.
    QByteArray text = QByteArray::number(count == 0 ? first : first + 1);
    if (count != 1)
        text += ',' + QByteArray::number(count);
    return text;
}

void AppendLine(QByteArray& out, char kind, QByteArrayView line)
{
    out += kind;
    out += line;
    if (!line.endsWith('\n'))
        out += "\n\\ No newline at end of file\n";
}

// Hunks of the script: each change with up to three kept lines around it; changes closer than
// twice that share a hunk.
void AppendHunks(QByteArray& out, const std::vector<Edit>& script, const Lines& oldLines, const Lines& newLines)
{
    const int size = int(script.size());
    int next = 0;
    while (next < size) {
        while (next < size && script[next].kind == ' ')
            ++next;
        if (next == size)
            return;
        const int begin = std::max(0, next - kContext);
        int end = next; // one past the last change of the hunk
        for (int kept = 0; next < size && kept <= 2 * kContext; ++next) {
            if (script[next].kind == ' ') {
                ++kept;
            } else {
                kept = 0;
                end = next + 1;
            }
        }
        end = std::min(size, end + kContext);
        int oldCount = 0, newCount = 0;
        for (int k = begin; k < end; ++k) {
            oldCount += script[k].kind != '+';
            newCount += script[k].kind != '-';
        }
        out += "@@ -" + Range(script[begin].oldLine, oldCount) + " +" + Range(script[begin].newLine, newCount)
            + " @@\n";
        for (int k = begin; k < end; ++k) {
            const Edit& edit = script[k];
            AppendLine(out, edit.kind, edit.kind == '+' ? newLines[edit.newLine] : oldLines[edit.oldLine]);
        }
        next = end;
    }
}

// A name as patch reads it back: in double quotes with C escapes when it holds a control
// character, a quote or a backslash, and also when it holds a blank and `quoteBlanks` is set.
QByteArray QuotedName(const QByteArray& name, bool quoteBlanks)
{
    const bool special = std::any_of(name.begin(), name.end(), [&](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7f || c == '"' || c == '\\' || (quoteBlanks && c == ' ');
    });
    if (!special)
        return name;
    QByteArray quoted = "\"";
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
            quoted += QByteArray("\\") + c;
        else if (c == '\t')
            quoted += "\\t";
        else if (c == '\n')
            quoted += "\\n";
        else if (u < 0x20 || u == 0x7f)
            quoted += "\\" + QByteArray::number(u, 8).rightJustified(3, '0');
        else
            quoted += c;
    }
    return quoted + '"';
}

// A name on a "---" or "+++" line: a TAB after a name with a blank tells patch where it ends.
QByteArray HeaderName(const QByteArray& name)
{
    const QByteArray quoted = QuotedName(name, false);
    return quoted == name && name.contains(' ') ? name + '\t' : quoted;
}

} // namespace

QByteArray UnifiedDiff(const QString& path, const std::optional<QByteArray>& before, const QByteArray& after)
{
    if (before == after)
        return {};
    const QByteArray name = path.toUtf8();
    if (!before && after.isEmpty()) {
        return "diff --git " + QuotedName("a/" + name, true) + ' ' + QuotedName("b/" + name, true)
            + "\nnew file mode 100644\n";
    }
    const QByteArray oldName = before ? "a/" + name : QByteArray("/dev/null");
    const QByteArray newName = "b/" + name;
    if ((before && before->contains('\0')) || after.contains('\0'))
        return "Binary files " + oldName + " and " + newName + " differ\n";
    const QByteArray oldText = before.value_or(QByteArray());
    const Lines oldLines = SplitLines(oldText);
    const Lines newLines = SplitLines(after);
    QByteArray out = "--- " + HeaderName(oldName) + "\n+++ " + HeaderName(newName) + "\n";
    AppendHunks(out, EditScript(oldLines, newLines), oldLines, newLines);
    return out;
}

QByteArray TrialDiff(const TrialInstallation& trial)
{
    // Files are compared side by side; their diffs are joined in order.
    const std::vector<TrialInstallation::File>& files = trial.Files();
    std::vector<QByteArray> diffs(files.size());
    std::vector<char> emptyNew(files.size());
    {
        std::vector<std::future<void>> done;
        // No comparison may outlive what it writes into, whatever fails.
        const auto waitForAll = qScopeGuard([&done] {
            for (std::future<void>& compared : done) {
                if (compared.valid())
                    compared.wait();
            }
        });
        for (size_t i = 0; i < files.size(); ++i) {
            done.push_back(BoardFileWorkers().Run([&files, &diffs, &emptyNew, i] {
                const TrialInstallation::File& file = files[i];
                std::optional<QByteArray> before;
                if (!file.origin.isEmpty())
                    before = TrialInstallation::Bytes(file.origin);
                const QByteArray after = TrialInstallation::Bytes(file.workFile);
                emptyNew[i] = !before && after.isEmpty();
                diffs[i] = UnifiedDiff(file.relativePath, before, after);
            }));
        }
        for (std::future<void>& compared : done)
            compared.get(); // the first file that could not be read, in order
    }
    QByteArray out, emptyNewFiles;
    for (size_t i = 0; i < files.size(); ++i) {
        // A git header takes the next file's "---"/"+++" lines for its own: these come last.
        (emptyNew[i] ? emptyNewFiles : out) += diffs[i];
    }
    return out + emptyNewFiles;
}

} // namespace zp
