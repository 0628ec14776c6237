#include "authoring/step_instructions.h"

#include "app/app_state.h"
#include "app/board_directories.h"
#include "authoring/text_export_reader.h"
#include "core/board_text.h"
#include "install/find_routines.h"
#include "install/trial_installation.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>
#include <stdexcept>

namespace zp {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

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
    QStringList lines;
    QString failure; // the first step that could not be done; the file is not recorded then
    // After a FIND: the found lines [first, end), where AFTER, ADD puts lines, where the next FIND
    // starts; after an IN-LINE FIND: the found part [from, to) of the last found line.
    qsizetype first = -1, end = -1, insertAt = -1, searchFrom = 0;
    qsizetype from = -1, to = -1;
};

class StepRunner
{
public:
    StepRunner(const RecordRequest& request, QString folder)
        : request_(request)
        , folder_(std::move(folder))
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
        if (name == QStringLiteral("AFTER ADD")) {
            Insert(file, file.insertAt, body);
            file.insertAt += body.size();
        } else if (name == QStringLiteral("BEFORE ADD")) {
            Insert(file, file.first, body);
            file.first += body.size(), file.end += body.size(), file.insertAt += body.size();
        } else { // REPLACE WITH: the found lines become the new ones
            file.lines.remove(file.first, file.end - file.first);
            Insert(file, file.first, body);
            file.end = file.insertAt = file.first + body.size();
            file.from = file.to = -1;
        }
    }

    static void Insert(OpenFile& file, qsizetype at, const QStringList& lines)
    {
        for (qsizetype i = 0; i < lines.size(); ++i)
            file.lines.insert(at + i, lines[i]);
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
        file.lines = file.original.text.split(kCrLf);
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
        for (qsizetype at = file.searchFrom; at + parts.size() <= file.lines.size(); ++at) {
            bool all = true;
            for (qsizetype j = 0; all && j < parts.size(); ++j)
                all = file.lines[at + j].contains(parts[j]);
            if (all) {
                file.first = at;
                file.end = file.insertAt = at + parts.size();
                file.searchFrom = at + 1;
                file.from = file.to = -1;
                return;
            }
        }
        fail(QStringLiteral("not found in %1").arg(file.relativePath));
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
            if (!all) {
                AddCopy(step, *from, target);
                continue;
            }
            QDirIterator it(*from, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString found = it.next();
                AddCopy(step, found, target + QDir(*from).relativeFilePath(found));
            }
        }
    }

    void AddCopy(const InstructionStep& step, const QString& from, const QString& target)
    {
        const std::optional<QString> original = JoinInsideRoot(request_.originalRoot, target);
        if (!original || QDir::isAbsolutePath(target))
            StepError(step, QStringLiteral("a path that leads out of the board"));
        FileChange change {QDir::cleanPath(target), QString(), from, QString()};
        if (!QFileInfo(from).isFile())
            change.reason
                = QStringLiteral("COPY at line %1 of the instructions: no such file beside them").arg(step.line);
        if (QFileInfo(*original).isFile()) {
            change.originalPath = *original;
            if (change.reason.isEmpty() && TrialInstallation::Bytes(from) == TrialInstallation::Bytes(*original))
                return;
        }
        copies.push_back(change);
    }

    const RecordRequest& request_;
    const QString folder_;
    qsizetype current_ = -1; // the file the last OPEN named
};

} // namespace

Instructions ReadInstructions(const QString& text)
{
    static const QRegularExpression heading(QStringLiteral("^#+\\s*-+\\s*\\[\\s*(.+?)\\s*\\]\\s*-*\\s*$"));
    static const QRegularExpression header(QStringLiteral("^##\\s*MOD (Title|Author|Description|Version):\\s*(.*)$"),
                                           QRegularExpression::CaseInsensitiveOption);
    Instructions instructions;
    const QStringList lines = text.split(kCrLf);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (const QRegularExpressionMatch step = heading.match(lines[i]); step.hasMatch()) {
            instructions.steps.push_back({StepName(step.captured(1)), int(i + 1), {}});
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
    const QString text = DecodeBoardText(TrialInstallation::Bytes(file)).text;
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
    StepRunner runner(request, QFileInfo(file).absolutePath());
    runner.Run(instructions);
    if (!runner.messages.isEmpty())
        info.PostInstallCom = runner.messages.join(kCrLf + kCrLf);

    const RecordingWorkFolder work(state.ProgramFolder);
    std::vector<FileChange> changes = runner.copies;
    int number = 0;
    for (const OpenFile& open : runner.files) {
        FileChange change {open.relativePath, open.originalPath, QString(), open.failure};
        if (open.failure.isEmpty()) {
            const QString edited = open.lines.join(kCrLf);
            if (edited == open.original.text)
                continue;
            change.editedPath = work.Write(QString::number(++number),
                                           EncodeBoardText(request.lfLineEnds ? ToLfLines(edited) : edited,
                                                           open.original.encoding,
                                                           open.original.bom));
        }
        changes.push_back(change);
    }
    std::sort(changes.begin(), changes.end(), [](const FileChange& a, const FileChange& b) {
        return a.relativePath < b.relativePath;
    });
    return Record(state, request, changes);
}

} // namespace zp
