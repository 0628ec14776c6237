#include "authoring/patch_apply.h"

#include "app/app_state.h"
#include "app/board_directories.h"
#include "install/trial_installation.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <stdexcept>

namespace zp {

namespace {

const QByteArray kNoNewline = "\\ No newline at end of file";

// A C-style quoted name ("a/x\ty") as git writes it, unquoted; other names as they are.
QByteArray Unquoted(const QByteArray& name)
{
    if (name.size() < 2 || !name.startsWith('"') || !name.endsWith('"'))
        return name;
    QByteArray out;
    for (qsizetype i = 1; i + 1 < name.size(); ++i) {
        char c = name[i];
        if (c == '\\' && i + 2 < name.size()) {
            c = name[++i];
            if (c >= '0' && c <= '7' && i + 2 < name.size()) {
                c = char(name.mid(i, 3).toInt(nullptr, 8));
                i += 2;
            } else {
                c = c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
            }
        }
        out += c;
    }
    return out;
}

// The path of a "---" or "+++" line: the time stamp after a TAB dropped, /dev/null as nothing, the
// first element dropped.
std::optional<QString> HeaderPath(const QByteArray& line)
{
    QByteArray name = line.mid(4);
    if (name.endsWith('\r'))
        name.chop(1);
    const qsizetype tab = name.indexOf('\t');
    if (tab >= 0)
        name.truncate(tab);
    name = Unquoted(name);
    if (name == "/dev/null")
        return std::nullopt;
    QString path = QString::fromUtf8(name);
    const qsizetype slash = path.indexOf(u'/');
    return slash < 0 ? path : path.mid(slash + 1);
}

// The lines of a text, each with its LF.
std::vector<QByteArray> SplitLines(const QByteArray& bytes)
{
    std::vector<QByteArray> lines;
    for (qsizetype from = 0; from < bytes.size();) {
        const qsizetype lf = bytes.indexOf('\n', from);
        const qsizetype to = lf < 0 ? bytes.size() : lf + 1;
        lines.push_back(bytes.mid(from, to - from));
        from = to;
    }
    return lines;
}

class PatchReader
{
public:
    explicit PatchReader(const QByteArray& patch)
        : lines_(SplitLines(patch))
    {
    }

    std::vector<FilePatch> Read()
    {
        std::vector<FilePatch> files;
        bool git = false; // the file's section began with "diff --git": its header lines follow
        while (at_ < lines_.size()) {
            const QByteArray line = Line(at_);
            if (line.startsWith("diff --git ")) {
                git = true;
                files.emplace_back().path = GitPath(line);
            } else if (git && line.startsWith("deleted file mode")) {
                files.back().deleted = true;
            } else if (git && (line.startsWith("rename from") || line.startsWith("copy from"))) {
                files.back().reason = QStringLiteral("a renamed or copied file");
            } else if (line.startsWith("Binary files ") || line == "GIT binary patch") {
                if (files.empty() || !git)
                    files.emplace_back();
                files.back().reason = QStringLiteral("a binary file changed: mods change text only");
                git = false;
            } else if (line.startsWith("--- ") && at_ + 1 < lines_.size() && Line(at_ + 1).startsWith("+++ ")) {
                const std::optional<QString> before = HeaderPath(line);
                const std::optional<QString> after = HeaderPath(Line(++at_));
                if (!git)
                    files.emplace_back();
                git = false;
                files.back().path = after.value_or(before.value_or(QString()));
                files.back().deleted = files.back().deleted || !after;
            } else if (line.startsWith("@@ ")) {
                if (files.empty())
                    Fail("a hunk before any file header");
                files.back().hunks.push_back(ReadHunk());
                continue;
            }
            ++at_;
        }
        return files;
    }

private:
    QByteArray Line(size_t i) const
    {
        QByteArray line = lines_[i];
        if (line.endsWith('\n'))
            line.chop(1);
        return line;
    }

    [[noreturn]] void Fail(const char* what) const
    {
        throw std::runtime_error(QStringLiteral("patch line %1: %2").arg(at_ + 1).arg(what).toStdString());
    }

    // "diff --git a/x b/x": the second path.
    static QString GitPath(const QByteArray& line)
    {
        const QByteArray names = line.mid(11);
        const qsizetype b = names.lastIndexOf(" b/");
        const std::optional<QString> path = HeaderPath("+++ " + (b >= 0 ? names.mid(b + 1) : names));
        return path.value_or(QString());
    }

    PatchHunk ReadHunk()
    {
        static const QRegularExpression header(QStringLiteral("^@@ -(\\d+)(?:,(\\d+))? \\+(\\d+)(?:,(\\d+))? @@"));
        const QRegularExpressionMatch match = header.match(QString::fromLatin1(Line(at_)));
        if (!match.hasMatch())
            Fail("a hunk header that cannot be read");
        PatchHunk hunk;
        hunk.lineNumber = int(at_ + 1);
        hunk.oldStart = match.captured(1).toInt();
        int oldCount = match.captured(2).isEmpty() ? 1 : match.captured(2).toInt();
        int newCount = match.captured(4).isEmpty() ? 1 : match.captured(4).toInt();
        ++at_;
        char last = 0; // the kind of the line before
        while (at_ < lines_.size() && (oldCount > 0 || newCount > 0 || Line(at_) == kNoNewline)) {
            const QByteArray& raw = lines_[at_++];
            if (raw.startsWith(kNoNewline)) {
                // The line before has no LF in the file(s) it belongs to.
                if (last != '+' && !hunk.oldLines.empty())
                    hunk.oldLines.back().chop(1);
                if (last != '-' && !hunk.newLines.empty())
                    hunk.newLines.back().chop(1);
                continue;
            }
            // An empty line is an empty context line whose blank an editor or a mailer dropped.
            const bool blank = raw.isEmpty() || raw == "\n";
            last = blank ? ' ' : raw[0];
            const QByteArray text = blank ? QByteArray("\n") : raw.mid(1);
            if (last != ' ' && last != '-' && last != '+')
                Fail("a hunk line that is neither context, removal nor addition");
            if (last != '+' && oldCount-- > 0)
                hunk.oldLines.push_back(text);
            if (last != '-' && newCount-- > 0)
                hunk.newLines.push_back(text);
            if (oldCount < 0 || newCount < 0)
                Fail("a hunk longer than its header says");
        }
        if (oldCount > 0 || newCount > 0)
            Fail("a hunk shorter than its header says");
        return hunk;
    }

    std::vector<QByteArray> lines_;
    size_t at_ = 0;
};

} // namespace

std::vector<FilePatch> ParseUnifiedDiff(const QByteArray& patch)
{
    return PatchReader(patch).Read();
}

std::optional<QByteArray>
ApplyFilePatch(const FilePatch& patch, const std::optional<QByteArray>& bytes, QString& reason)
{
    const std::vector<QByteArray> lines = SplitLines(bytes.value_or(QByteArray()));
    QByteArray out;
    size_t next = 0; // the first line not yet copied
    int number = 0;
    for (const PatchHunk& hunk : patch.hunks) {
        ++number;
        const size_t at = hunk.oldLines.empty() ? size_t(hunk.oldStart) : size_t(std::max(hunk.oldStart - 1, 0));
        bool fits = at >= next && at + hunk.oldLines.size() <= lines.size();
        for (size_t i = 0; fits && i < hunk.oldLines.size(); ++i)
            fits = lines[at + i] == hunk.oldLines[i];
        if (!fits) {
            reason = QStringLiteral("hunk %1 (patch line %2) does not apply at line %3")
                         .arg(number)
                         .arg(hunk.lineNumber)
                         .arg(hunk.oldStart);
            return std::nullopt;
        }
        for (; next < at; ++next)
            out += lines[next];
        for (const QByteArray& line : hunk.newLines)
            out += line;
        next = at + hunk.oldLines.size();
    }
    for (; next < lines.size(); ++next)
        out += lines[next];
    return out;
}

RecordResult RecordPatch(AppState& state, const RecordRequest& request, const QString& patchFile)
{
    const std::vector<FilePatch> patches = ParseUnifiedDiff(TrialInstallation::Bytes(patchFile));
    const RecordingWorkFolder work(state.ProgramFolder);
    std::vector<FileChange> changes;
    for (const FilePatch& patch : patches) {
        FileChange& change = changes.emplace_back(FileChange {patch.path, QString(), QString(), patch.reason});
        const std::optional<QString> original = JoinInsideRoot(request.originalRoot, patch.path);
        if (!original || patch.path.isEmpty() || QDir::isAbsolutePath(patch.path)) {
            change.reason = QStringLiteral("a path that leads out of the board");
            continue;
        }
        const bool exists = QFileInfo(*original).isFile();
        if (exists)
            change.originalPath = *original;
        if (!change.reason.isEmpty())
            continue;
        const std::optional<QByteArray> patched = ApplyFilePatch(
            patch, exists ? std::optional(TrialInstallation::Bytes(*original)) : std::nullopt, change.reason);
        // diff -N writes a deleted file as one whose lines all go.
        const bool emptied = patched && patched->isEmpty() && exists && !patch.hunks.empty()
            && std::all_of(patch.hunks.begin(), patch.hunks.end(), [](const PatchHunk& h) {
                                 return h.newLines.empty();
                             });
        if (!patched || patch.deleted || emptied)
            continue;
        change.editedPath = work.Write(patch.path, *patched);
    }
    std::sort(changes.begin(), changes.end(), [](const FileChange& a, const FileChange& b) {
        return a.relativePath < b.relativePath;
    });
    return Record(state, request, changes);
}

} // namespace zp
