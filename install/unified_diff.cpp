#include "install/unified_diff.h"

#include "install/line_diff.h"
#include "install/trial_installation.h"

#include <QHash>
#include <algorithm>
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

std::vector<Edit> EditScript(const Lines& oldLines, const Lines& newLines)
{
    QHash<QByteArrayView, int> ids;
    ids.reserve(qsizetype(oldLines.size() + newLines.size()));
    const auto numbers = [&ids](const Lines& lines) {
        std::vector<int> numbered;
        numbered.reserve(lines.size());
        for (const QByteArrayView line : lines) {
            auto id = ids.constFind(line);
            if (id == ids.cend())
                id = ids.insert(line, int(ids.size()));
            numbered.push_back(id.value());
        }
        return numbered;
    };
    const std::vector<int> oldIds = numbers(oldLines);
    const std::vector<int> newIds = numbers(newLines);
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

} // namespace

QByteArray UnifiedDiff(const QString& path, const std::optional<QByteArray>& before, const QByteArray& after)
{
    if (before == after)
        return {};
    const QByteArray name = path.toUtf8();
    const QByteArray oldName = before ? "a/" + name : QByteArray("/dev/null");
    const QByteArray newName = "b/" + name;
    if ((before && before->contains('\0')) || after.contains('\0'))
        return "Binary files " + oldName + " and " + newName + " differ\n";
    const QByteArray oldText = before.value_or(QByteArray());
    const Lines oldLines = SplitLines(oldText);
    const Lines newLines = SplitLines(after);
    QByteArray out = "--- " + oldName + "\n+++ " + newName + "\n";
    AppendHunks(out, EditScript(oldLines, newLines), oldLines, newLines);
    return out;
}

QByteArray TrialDiff(const TrialInstallation& trial)
{
    QByteArray out;
    for (const TrialInstallation::File& file : trial.Files()) {
        std::optional<QByteArray> before;
        if (!file.origin.isEmpty())
            before = TrialInstallation::Bytes(file.origin);
        out += UnifiedDiff(file.relativePath, before, TrialInstallation::Bytes(file.workFile));
    }
    return out;
}

} // namespace zp
