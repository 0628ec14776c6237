#include "authoring/patch_apply.h"

#include "app/app_state.h"
#include "app/board_directories.h"
#include "app/regular_file.h"
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

// The name of a "---" or "+++" line: the time stamp after a TAB dropped, /dev/null as nothing, the
// first element dropped.
std::optional<QByteArray> HeaderName(QByteArrayView line)
{
    QByteArray name = line.sliced(4).toByteArray();
    if (name.endsWith('\r'))
        name.chop(1);
    const qsizetype tab = name.indexOf('\t');
    if (tab >= 0)
        name.truncate(tab);
    name = Unquoted(name);
    if (name == "/dev/null")
        return std::nullopt;
    const qsizetype slash = name.indexOf('/');
    return slash < 0 ? name : name.mid(slash + 1);
}

// The path a patch names, and why the file is not recorded when the name is not UTF-8: a name
// changed on the way into the catalogue would install as another file.
void SetPath(FilePatch& file, const QByteArray& name)
{
    file.path = QString::fromUtf8(name);
    if (!QByteArrayView(name).isValidUtf8())
        file.reason = QStringLiteral("the name is not UTF-8");
}

// The offset of every line of a text, and the text's size after the last one.
std::vector<qsizetype> LineStarts(const QByteArray& bytes)
{
    std::vector<qsizetype> starts;
    for (qsizetype from = 0; from < bytes.size();) {
        starts.push_back(from);
        const qsizetype lf = bytes.indexOf('\n', from);
        from = lf < 0 ? bytes.size() : lf + 1;
    }
    starts.push_back(bytes.size());
    return starts;
}

// Reads the patch line by line where it lies, without a copy of its lines: what it keeps are the
// hunks' texts, at most twice the patch (a context line is in both).
class PatchReader
{
public:
    explicit PatchReader(const QByteArray& patch)
        : patch_(patch)
    {
    }

    std::vector<FilePatch> Read()
    {
        std::vector<FilePatch> files;
        bool git = false; // the file's section began with "diff --git": its header lines follow
        while (at_ < patch_.size()) {
            const QByteArrayView line = Text(at_);
            if (line.startsWith("diff --git ")) {
                git = true;
                SetPath(files.emplace_back(), GitName(line));
            } else if (git && line.startsWith("deleted file mode")) {
                files.back().deleted = true;
            } else if (git && (line.startsWith("rename from") || line.startsWith("copy from"))) {
                files.back().reason = QStringLiteral("a renamed or copied file");
            } else if (line.startsWith("Binary files ") || line == "GIT binary patch") {
                if (files.empty() || !git)
                    files.emplace_back();
                files.back().reason = QStringLiteral("a binary file changed: mods change text only");
                git = false;
            } else if (line.startsWith("--- ") && Next(at_) < patch_.size() && Text(Next(at_)).startsWith("+++ ")) {
                const std::optional<QByteArray> before = HeaderName(line);
                Step();
                const std::optional<QByteArray> after = HeaderName(Text(at_));
                if (!git)
                    files.emplace_back();
                git = false;
                SetPath(files.back(), after.value_or(before.value_or(QByteArray())));
                files.back().deleted = files.back().deleted || !after;
            } else if (line.startsWith("@@ ")) {
                if (files.empty())
                    Fail("a hunk before any file header");
                ReadHunk(files.back());
                continue;
            }
            Step();
        }
        return files;
    }

private:
    // Where the line after the one at `from` starts.
    qsizetype Next(qsizetype from) const
    {
        const qsizetype lf = patch_.indexOf('\n', from);
        return lf < 0 ? patch_.size() : lf + 1;
    }
    // The line at `from` with its LF, and without it.
    QByteArrayView Raw(qsizetype from) const { return QByteArrayView(patch_).sliced(from, Next(from) - from); }
    QByteArrayView Text(qsizetype from) const
    {
        const QByteArrayView raw = Raw(from);
        return raw.endsWith('\n') ? raw.chopped(1) : raw;
    }
    void Step()
    {
        at_ = Next(at_);
        ++number_;
    }

    [[noreturn]] void Fail(const char* what) const
    {
        throw std::runtime_error(QStringLiteral("patch line %1: %2").arg(number_).arg(what).toStdString());
    }

    // "diff --git a/x b/x": the second path.
    static QByteArray GitName(QByteArrayView line)
    {
        const QByteArrayView names = line.sliced(11);
        const qsizetype b = names.lastIndexOf(QByteArrayView(" b/"));
        return HeaderName("+++ " + (b >= 0 ? names.sliced(b + 1) : names).toByteArray()).value_or(QByteArray());
    }

    void ReadHunk(FilePatch& file)
    {
        static const QRegularExpression header(QStringLiteral("^@@ -(\\d+)(?:,(\\d+))? \\+(\\d+)(?:,(\\d+))? @@"));
        const QByteArrayView line = Text(at_);
        const QRegularExpressionMatch match
            = header.match(QString::fromLatin1(line.first(std::min<qsizetype>(line.size(), 64))));
        if (!match.hasMatch())
            Fail("a hunk header that cannot be read");
        PatchHunk hunk;
        hunk.lineNumber = number_;
        hunk.oldStart = match.captured(1).toInt();
        hunk.oldFrom = int(file.oldText.size());
        hunk.newFrom = int(file.newText.size());
        int oldLeft = match.captured(2).isEmpty() ? 1 : match.captured(2).toInt();
        int newLeft = match.captured(4).isEmpty() ? 1 : match.captured(4).toInt();
        Step();
        char last = 0; // the kind of the line before
        while (at_ < patch_.size() && (oldLeft > 0 || newLeft > 0 || Text(at_) == kNoNewline)) {
            const QByteArrayView raw = Raw(at_);
            if (raw.startsWith(kNoNewline)) {
                // The line before has no LF in the file(s) it belongs to.
                if (last != '+' && file.oldText.size() > hunk.oldFrom && file.oldText.endsWith('\n'))
                    file.oldText.chop(1);
                if (last != '-' && file.newText.size() > hunk.newFrom && file.newText.endsWith('\n'))
                    file.newText.chop(1);
                Step();
                continue;
            }
            // An empty line is an empty context line whose blank an editor or a mailer dropped.
            const bool blank = raw == "\n";
            last = blank ? ' ' : raw[0];
            const QByteArrayView text = blank ? raw : raw.sliced(1);
            if (last != ' ' && last != '-' && last != '+')
                Fail("a hunk line that is neither context, removal nor addition");
            if (last != '+' && oldLeft-- > 0) {
                file.oldText += text;
                ++hunk.oldCount;
            }
            if (last != '-' && newLeft-- > 0)
                file.newText += text;
            if (oldLeft < 0 || newLeft < 0)
                Fail("a hunk longer than its header says");
            Step();
        }
        if (oldLeft > 0 || newLeft > 0)
            Fail("a hunk shorter than its header says");
        hunk.oldSize = int(file.oldText.size()) - hunk.oldFrom;
        hunk.newSize = int(file.newText.size()) - hunk.newFrom;
        file.hunks.push_back(hunk);
    }

    const QByteArray& patch_;
    qsizetype at_ = 0; // where the line being read starts
    int number_ = 1; // its number
};

} // namespace

std::vector<FilePatch> ParseUnifiedDiff(const QByteArray& patch)
{
    return PatchReader(patch).Read();
}

std::optional<QByteArray>
ApplyFilePatch(const FilePatch& patch, const std::optional<QByteArray>& bytes, QString& reason)
{
    const QByteArray in = bytes.value_or(QByteArray());
    const std::vector<qsizetype> starts = LineStarts(in);
    const size_t lines = starts.size() - 1;
    const auto text
        = [&](size_t from, size_t to) { return QByteArrayView(in).sliced(starts[from], starts[to] - starts[from]); };
    QByteArray out;
    size_t next = 0; // the first line not yet copied
    int number = 0;
    for (const PatchHunk& hunk : patch.hunks) {
        ++number;
        const size_t at = hunk.oldCount == 0 ? size_t(hunk.oldStart) : size_t(std::max(hunk.oldStart - 1, 0));
        const size_t end = at + size_t(hunk.oldCount);
        if (at < next || end > lines || text(at, end) != patch.Old(hunk)) {
            reason = QStringLiteral("hunk %1 (patch line %2) does not apply at line %3")
                         .arg(number)
                         .arg(hunk.lineNumber)
                         .arg(hunk.oldStart);
            return std::nullopt;
        }
        out += text(next, at);
        out += patch.New(hunk);
        next = end;
    }
    out += text(next, lines);
    return out;
}

RecordResult RecordPatch(AppState& state, const RecordRequest& request, const QString& patchFile)
{
    std::vector<FilePatch> patches;
    {
        const FileBytes read = ReadRegularFile(patchFile, kMaxPatchBytes);
        if (!read.Read())
            throw std::runtime_error(
                QStringLiteral("Unable to read %1: %2").arg(patchFile, read.problem).toStdString());
        patches = ParseUnifiedDiff(read.bytes);
    }
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
            && std::all_of(patch.hunks.begin(), patch.hunks.end(), [](const PatchHunk& h) { return h.newSize == 0; });
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
