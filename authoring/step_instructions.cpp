#include "authoring/step_instructions.h"

#include "app/app_state.h"
#include "app/board_directories.h"
#include "app/regular_file.h"
#include "authoring/line_buffer.h"
#include "authoring/text_export_reader.h"
#include "core/board_text.h"
#include "engine/find_routines.h"
#include "install/trial_installation.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>
#include <optional>
#include <stdexcept>

namespace zp {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
// The largest instructions file read.
constexpr qint64 kMaxInstructionsBytes = qint64(64) << 20;

[[noreturn]] void StepError(const InstructionStep& step, const QString& what)
{
    throw std::runtime_error(
        QStringLiteral("line %1 of the instructions ([ %2 ]): %3").arg(step.line).arg(step.name, what).toStdString());
}

bool IsSeparator(const QString& line)
{
    const QString trimmed = line.trimmed();
    return trimmed.isEmpty() || trimmed == QStringLiteral("#");
}

QString StepName(QString name)
{
    name = name.toUpper().replace(u',', u' ').simplified();
    if (name.startsWith(QStringLiteral("INLINE ")))
        name.replace(0, 6, QStringLiteral("IN-LINE"));
    if (name == QStringLiteral("ADD SQL"))
        name = QStringLiteral("SQL");
    return name;
}

// The board file an OPEN step works on: its lines (the text between CR LF breaks) and where the
// steps are in it.
struct OpenFile
{
    QString relativePath;
    QString originalPath;
    BoardText original;
    LineBuffer lines;
    QString failure; // the first step that could not be done; the file is not recorded then
    // After a FIND: the found lines [first, end), where AFTER, ADD puts lines, where the next FIND
    // starts; after an IN-LINE FIND: the found part [from, to) of the last found line.
    qsizetype first = -1, end = -1, insertAt = -1, searchFrom = 0;
    qsizetype from = -1, to = -1;
};

class StepRunner
{
public:
    StepRunner(const RecordRequest& request, QString folder, const RecordingWorkFolder& work)
        : request_(request)
        , folder_(std::move(folder))
        , work_(work)
    {
    }

    void Run(const Instructions& instructions)
    {
        for (const InstructionStep& step : instructions.steps) {
            if (step.name == QStringLiteral("SAVE/CLOSE ALL FILES"))
                break;
            Do(step);
        }
    }

    // A private copy of the bytes in the work folder.
    QString Keep(const QByteArray& bytes) { return work_.Write(QString::number(++kept_), bytes); }

    std::vector<OpenFile> files;
    std::vector<FileChange> copies;
    QStringList messages; // SQL and DIY INSTRUCTIONS, for the post-install message

private:
    void Do(const InstructionStep& step)
    {
        const QString& name = step.name;
        if (name == QStringLiteral("OPEN"))
            return Open(step);
        if (name == QStringLiteral("COPY"))
            return Copy(step);
        if (name == QStringLiteral("SQL") || name == QStringLiteral("DIY INSTRUCTIONS")) {
            messages << name + u':' + kCrLf + step.body.join(kCrLf);
            return;
        }
        static const QStringList lineSteps = {"FIND", "AFTER ADD", "BEFORE ADD", "REPLACE WITH"};
        static const QStringList inlineSteps
            = {"IN-LINE FIND", "IN-LINE AFTER ADD", "IN-LINE BEFORE ADD", "IN-LINE REPLACE WITH"};
        if (!lineSteps.contains(name) && !inlineSteps.contains(name))
            StepError(step, QStringLiteral("a step this reader does not know"));
        if (current_ < 0)
            StepError(step, QStringLiteral("no file is open"));
        OpenFile& file = files[current_];
        if (!file.failure.isEmpty())
            return;
        const auto fail = [&](const QString& what) {
            file.failure = QStringLiteral("%1 at line %2 of the instructions: %3").arg(name).arg(step.line).arg(what);
        };
        if (name == QStringLiteral("FIND"))
            return Find(file, step, fail);
        if (file.first < 0)
            return fail(QStringLiteral("no FIND before it"));
        if (inlineSteps.contains(name))
            return Inline(file, step, fail);
        const QStringList& body = step.body;
        const qsizetype added = body.size();
        if (name == QStringLiteral("AFTER ADD")) {
            file.lines.insert(file.insertAt, body);
            file.insertAt += added;
        } else if (name == QStringLiteral("BEFORE ADD")) {
            // The found lines, and the search after them, move down past the added ones: a copy
            // of the lines a later FIND looks for, added here, is not found in their place.
            file.lines.insert(file.first, body);
            file.first += added, file.end += added, file.insertAt += added, file.searchFrom += added;
        } else { // REPLACE WITH: the found lines become the new ones
            file.lines.remove(file.first, file.end - file.first);
            file.lines.insert(file.first, body);
            file.end = file.insertAt = file.first + added;
            file.from = file.to = -1;
        }
    }

    void Open(const InstructionStep& step)
    {
        const QString named = step.body.value(0).trimmed().replace(u'\\', u'/');
        const std::optional<QString> exact = JoinInsideRoot(request_.originalRoot, named);
        QString path = exact && QFileInfo(*exact).isFile() ? *exact : QString();
        if (path.isEmpty() && !named.isEmpty() && exact) // a bare name: found where the install finds files
            path = FindFileInTree(QFileInfo(named).fileName(), request_.originalRoot);
        const QString relative = path.isEmpty() ? named : QDir(request_.originalRoot).relativeFilePath(path);
        // A file opened again goes on from where its steps left it, searched from the top.
        const auto known = std::find_if(
            files.begin(), files.end(), [&](const OpenFile& open) { return open.relativePath == relative; });
        current_ = known - files.begin();
        if (known != files.end()) {
            known->first = known->end = known->insertAt = known->from = known->to = -1;
            known->searchFrom = 0;
            return;
        }
        OpenFile& file = files.emplace_back();
        file.relativePath = relative;
        if (path.isEmpty()) {
            file.failure
                = QStringLiteral("OPEN at line %1 of the instructions: not in the original board").arg(step.line);
            return;
        }
        file.originalPath = path;
        file.original = DecodeBoardText(TrialInstallation::Bytes(path));
        file.lines = LineBuffer(file.original.text.split(kCrLf));
    }

    // A FIND's lines may be parts of lines: the whole lines that contain them, in a row, searched
    // from the line after the first one the previous FIND of this file found.
    template <typename Fail>
    void Find(OpenFile& file, const InstructionStep& step, const Fail& fail)
    {
        QStringList parts;
        for (const QString& line : step.body)
            parts << line.trimmed();
        if (parts.isEmpty())
            return fail(QStringLiteral("nothing to find"));
        const qsizetype at = FindLines(file.lines, parts, file.searchFrom);
        if (at < 0)
            return fail(QStringLiteral("not found in %1").arg(file.relativePath));
        file.first = at;
        file.end = file.insertAt = at + parts.size();
        file.searchFrom = at + 1;
        file.from = file.to = -1;
    }

    // IN-LINE steps act inside the last found line.
    template <typename Fail>
    void Inline(OpenFile& file, const InstructionStep& step, const Fail& fail)
    {
        if (file.end <= file.first)
            return fail(QStringLiteral("no found line to act in"));
        QString& line = file.lines[file.end - 1];
        const QString text = step.body.join(QString());
        if (step.name == QStringLiteral("IN-LINE FIND")) {
            const QString part = text.trimmed();
            const qsizetype at = part.isEmpty() ? -1 : line.indexOf(part, std::max<qsizetype>(file.to, 0));
            if (at < 0)
                return fail(QStringLiteral("not found in the last found line of %1").arg(file.relativePath));
            file.from = at;
            file.to = at + part.size();
            return;
        }
        if (file.from < 0)
            return fail(QStringLiteral("no IN-LINE FIND before it"));
        if (step.name == QStringLiteral("IN-LINE AFTER ADD")) {
            line.insert(file.to, text);
            file.to += text.size();
        } else if (step.name == QStringLiteral("IN-LINE BEFORE ADD")) {
            line.insert(file.from, text);
            file.from += text.size(), file.to += text.size();
        } else {
            line.replace(file.from, file.to - file.from, text);
            file.to = file.from + text.size();
        }
    }

    // "copy root/x/*.* to x/*.*", "copy a.cgi to cgi-bin/a.cgi", or a path alone (its "root/"
    // dropped for the board's path): support files from the folder the instructions lie in.
    void Copy(const InstructionStep& step)
    {
        static const QRegularExpression copyWord(QStringLiteral("^copy\\s+"),
                                                 QRegularExpression::CaseInsensitiveOption);
        static const QRegularExpression toWord(QStringLiteral("\\s+to\\s+"), QRegularExpression::CaseInsensitiveOption);
        for (QString line : step.body) {
            line = line.trimmed().remove(copyWord).replace(u'\\', u'/');
            const QStringList sides = line.split(toWord);
            QString source = sides.value(0).trimmed();
            QString target = sides.size() > 1 ? sides[1].trimmed() : source;
            if (sides.size() < 2 && target.startsWith(QStringLiteral("root/"), Qt::CaseInsensitive))
                target = target.mid(5);
            const bool all = source.endsWith(u'*');
            if (all) {
                source = source.left(source.lastIndexOf(u'/') + 1);
                target = target.left(target.lastIndexOf(u'/') + 1);
            } else if (target.endsWith(u'/')) {
                target += QFileInfo(source).fileName();
            }
            const std::optional<QString> from = JoinInsideRoot(folder_, source);
            if (!from)
                StepError(step, QStringLiteral("a path that leads out of the instructions' folder"));
            const QDir folder(folder_);
            if (!all) {
                AddCopy(step, folder.relativeFilePath(*from), target);
                continue;
            }
            // FIFOs and the like are listed too, to be named as not copied.
            QDirIterator it(*from, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString found = it.next();
                AddCopy(step, folder.relativeFilePath(found), target + QDir(*from).relativeFilePath(found));
            }
        }
    }

    // The source is read, below the instructions' folder, without following a symbolic link: a
    // link to a private file would otherwise put its bytes into the board.
    void AddCopy(const InstructionStep& step, const QString& source, const QString& target)
    {
        const std::optional<QString> original = JoinInsideRoot(request_.originalRoot, target);
        if (!original || QDir::isAbsolutePath(target))
            StepError(step, QStringLiteral("a path that leads out of the board"));
        FileChange change {QDir::cleanPath(target), QString(), QString(), QString()};
        const FileBytes read = ReadRegularFileBelow(folder_, source, kMaxSupportFileBytes);
        const QString copy = QStringLiteral("COPY at line %1 of the instructions: ").arg(step.line);
        if (read.Missing())
            change.reason = copy + QStringLiteral("no such file beside them");
        else if (!read.Read())
            change.reason = copy + source + QStringLiteral(": ") + read.problem;
        if (QFileInfo(*original).isFile()) {
            change.originalPath = *original;
            if (read.Read() && read.bytes == TrialInstallation::Bytes(*original))
                return;
        }
        if (read.Read())
            change.editedPath = Keep(read.bytes);
        copies.push_back(change);
    }

    const RecordRequest& request_;
    const QString folder_;
    const RecordingWorkFolder& work_;
    int kept_ = 0; // the private copies made
    qsizetype current_ = -1; // the file the last OPEN named
};

bool IsBlank(QChar c)
{
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

// The name of a step heading ("#-----[ AFTER, ADD ]-----": #s, dashes, the name in brackets,
// dashes), read in one pass: a pattern for it backtracked on lines full of blanks and brackets.
std::optional<QString> HeadingName(QStringView line)
{
    qsizetype at = 0;
    const auto skip = [&](auto&& what) {
        const qsizetype start = at;
        while (at < line.size() && what(line[at]))
            ++at;
        return at > start;
    };
    const auto is = [](char16_t c) { return [c](QChar x) { return x == c; }; };
    if (!skip(is(u'#')))
        return std::nullopt;
    skip(IsBlank);
    if (!skip(is(u'-')))
        return std::nullopt;
    skip(IsBlank);
    if (at >= line.size() || line[at] != u'[')
        return std::nullopt;
    const qsizetype open = at, close = line.lastIndexOf(u']');
    if (close <= open + 1)
        return std::nullopt;
    at = close + 1;
    skip(IsBlank), skip(is(u'-')), skip(IsBlank);
    if (at < line.size())
        return std::nullopt;
    return line.sliced(open + 1, close - open - 1).trimmed().toString();
}

} // namespace

Instructions ReadInstructions(const QString& text)
{
    static const QRegularExpression header(QStringLiteral("^##\\s*MOD (Title|Author|Description|Version):\\s*(.*)$"),
                                           QRegularExpression::CaseInsensitiveOption);
    Instructions instructions;
    const QStringList lines = text.split(kCrLf);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (const std::optional<QString> step = HeadingName(lines[i])) {
            instructions.steps.push_back({StepName(*step), int(i + 1), {}});
            continue;
        }
        if (instructions.steps.empty()) {
            const QRegularExpressionMatch field = header.match(lines[i]);
            if (!field.hasMatch())
                continue;
            const QString key = field.captured(1).toLower();
            const QString value = field.captured(2).trimmed();
            HackInfoFields& info = instructions.info;
            (key == "title"         ? info.Name
                 : key == "author"  ? info.AuthName
                 : key == "version" ? info.Version
                                    : info.Comments)
                = value;
            continue;
        }
        instructions.steps.back().body << lines[i];
    }
    for (InstructionStep& step : instructions.steps) {
        while (!step.body.isEmpty() && IsSeparator(step.body.front()))
            step.body.removeFirst();
        while (!step.body.isEmpty() && IsSeparator(step.body.back()))
            step.body.removeLast();
    }
    return instructions;
}

RecordResult ImportText(AppState& state, RecordRequest request, const QString& file)
{
    const FileBytes read = ReadRegularFile(file, kMaxInstructionsBytes);
    if (!read.Read())
        throw std::runtime_error(QStringLiteral("Unable to read %1: %2").arg(file, read.problem).toStdString());
    const QString text = DecodeBoardText(read.bytes).text;
    if (IsTextExport(text))
        return StoreTextExport(state, request, file);

    const Instructions instructions = ReadInstructions(text);
    HackInfoFields& info = request.info;
    if (!info.Name)
        info.Name = instructions.info.Name.value_or(QFileInfo(file).completeBaseName());
    for (OptText HackInfoFields::*field :
         {&HackInfoFields::AuthName, &HackInfoFields::Version, &HackInfoFields::Comments}) {
        if (instructions.info.*field)
            info.*field = instructions.info.*field;
    }
    const RecordingWorkFolder work(state.ProgramFolder);
    StepRunner runner(request, QFileInfo(file).absolutePath(), work);
    runner.Run(instructions);
    if (!runner.messages.isEmpty())
        info.PostInstallCom = runner.messages.join(kCrLf + kCrLf);

    std::vector<FileChange> changes = runner.copies;
    for (const OpenFile& open : runner.files) {
        FileChange change {open.relativePath, open.originalPath, QString(), open.failure};
        if (open.failure.isEmpty()) {
            const QString edited = open.lines.join(kCrLf);
            if (edited == open.original.text)
                continue;
            change.editedPath = runner.Keep(EncodeBoardText(
                request.lfLineEnds ? ToLfLines(edited) : edited, open.original.encoding, open.original.bom));
        }
        changes.push_back(change);
    }
    std::sort(changes.begin(), changes.end(), [](const FileChange& a, const FileChange& b) {
        return a.relativePath < b.relativePath;
    });
    return Record(state, request, changes);
}

} // namespace zp
