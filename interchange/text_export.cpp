#include "interchange/text_export.h"

#include "app/ansi_text.h"
#include "app/app_state.h"
#include "app/board_directories.h"
#include "app/common.h"
#include "app/job_lock.h"
#include "app/whole_file.h"
#include "core/catalogue_operations.h"
#include "core/mod_actions.h"
#include "database/recordset.h"
#include "database/sql.h"
#include "interchange/hack_description.h"
#include "interchange/interchange_common.h"
#include "interchange/text_export_labels.h"

#include <QDir>

namespace zp {

namespace {

const QString Dashes24(24, '-');

// Lines joined and ended by CR LF.
class TextLines
{
public:
    TextLines& operator<<(const QString& line)
    {
        text_ += line + "\r\n";
        return *this;
    }
    const QString& Text() const { return text_; }

private:
    QString text_;
};

void WriteTextFile(const AppState& state, const QString& folder, const QString& name, const QString& text)
{
    WriteWholeFile(state.ProgramFolder, folder, name, [&text](WholeFile& file) { file.Write(EncodeAnsiOrUtf8(text)); });
}

QString ReadmeText(const Recordset& info, const QString& header)
{
    TextLines out;
    out << header << "";
    for (const TextExportLabel& section : kTextExportReadme) {
        if (info.IsNull(section.column))
            continue;
        const QString title = section.label;
        out << title << QString(title.size(), '-') << info.Text(section.column);
        if (&section != &kTextExportReadme.back()) // the last section ends the file
            out << "";
    }
    return out.Text();
}

// A Null old or new text shows as the word Null.
QString DataText(const Recordset& mod, const char* field)
{
    return mod.IsNull(field) ? QString("Null") : mod.Text(field);
}

void AppendMod(TextLines& out, const BoardLayout& layout, const Recordset& mod)
{
    const int action = ActionCodeOf(mod.Value("ActionType"));
    const QString instance = mod.IsNull("ModInst") ? QString()
        : mod.Int("ModInst") == 0                  ? QString("All")
                                                   : QString::number(mod.Int("ModInst"));
    out << "[> BEGIN MOD <]"
        << "Filename: " + mod.Text("FileName")
        << "Location: " + ResolveModDirectory(layout, LocationIndex(mod.Value("PrimaryDir")), mod.Value("ExtendDir"))
        << "Action: " + ActionName(action) << "Instance: " + instance << "Comment: " + mod.Text("Comment");
    out << Dashes24 << "Old Data:" << Dashes24 << DataText(mod, "OldData") << "";
    out << Dashes24 << "New Data:" << Dashes24 << DataText(mod, "NewData") << "";
    out << "[> END MOD <]"
        << "";
}

QString SupportFileLocation(const BoardLayout& layout, const Recordset& file)
{
    return ResolveTextExportDirectory(layout, LocationIndex(file.Value("Location")), file.Value("CustomDir"));
}

// The text of the mods and support files of the hack whose HackInfo row `info` holds, in the
// folders of its board `layout`; `files` holds its support files.
QString
HackText(AppState& state, const BoardLayout& layout, const Recordset& info, Recordset& files, const QString& header)
{
    const QString num = QString::number(info.Int("HackNum"));
    TextLines out;
    out << header << "";
    for (const TextExportLabel& line : kTextExportInformation) {
        if (!info.IsNull(line.column))
            out << line.label + info.Text(line.column);
    }
    out << "";

    Recordset mods(state.Connection);
    mods.Open(sql::SelectHackDataOf + num + sql::OrderByFileNameUpper);
    for (mods.MoveFirst(); !mods.EOF(); mods.MoveNext())
        AppendMod(out, layout, mods);

    if (files.RecordCount() > 0) {
        out << "[Support Files]";
        for (files.MoveFirst(); !files.EOF(); files.MoveNext())
            out << "Filename: " + files.Text("FileName") << "Location: " + SupportFileLocation(layout, files) << "";
    }
    return out.Text();
}

// Each support file of `files` into its folder below the export folder; one whose folder cannot be
// made (or would lie outside the export folder, or behind a symbolic link) is skipped, with its
// message in the result.
void WriteSupportFiles(
    AppState& state, const BoardLayout& layout, Recordset& files, const QString& folder, ExportResult& result)
{
    for (files.MoveFirst(); !files.EOF(); files.MoveNext()) {
        const QString name = files.Text("FileName");
        const QString location = SupportFileLocation(layout, files);
        std::optional<QString> target = JoinInsideRoot(folder, location);
        if (!target || !IsPlainFileName(name) || !LinkOnTheWay(folder, location + "/" + name).isEmpty()
            || (!DirExists(*target) && !MakePath(*target))) {
            result.messages.push_back(SupportFolderSkipped);
            ++result.skippedFiles;
            continue;
        }
        WriteWholeFile(state.ProgramFolder, folder, location + "/" + name, [&files](WholeFile& out) {
            files.ReadBlob("FileData", [&out](const QByteArray& chunk) { return out.Write(chunk); });
        });
    }
}

} // namespace

QString TextExportHeader(const QDateTime& when)
{
    return QString("<< This file was generated by Zenpatch version %1 on %2 - %3 >>")
        .arg(ZenpatchVersion, TimeText(when.time().toString("hh:mm:ss")), DateText(when.date()));
}

namespace {

ExportResult TextExport(AppState& state, const TextExportRequest& request, const QDateTime& when)
{
    ExportResult result;
    result.folder = ExportFolderText(request.folder);
    const QString& folder = result.folder;
    Recordset hack(state.Connection);
    if (!OpenHackRow(hack, request.hackNum)) {
        result.hackGone = true;
        return result;
    }
    const auto stop = [&result](const UserMessage& message) {
        result.messages.push_back(message);
        return result;
    };

    if (request.name.isEmpty())
        return stop(MissingExportName);
    if (folder.isEmpty())
        return stop(MissingExportPath);
    if (const std::optional<UserMessage> refusal = ExportFolderRefusal(state, folder))
        return stop(*refusal);
    if (const std::optional<UserMessage> missing = PrepareExportFolder(folder, true))
        return stop(*missing);
    // The export writes into a fresh folder: files of an earlier export (or anything else) would
    // mix with this hack's, and nothing that this export did not write may be deleted.
    if (!QDir(folder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
        return stop(ExportFolderNotEmpty(folder));

    try {
        if (!IsPlainFileName(request.name + ".txt"))
            throw std::runtime_error("the name is not a file name");
        const BoardLayout layout = LayoutOf(state, hack.Int("HackType"));
        const QString header = TextExportHeader(when);
        WriteTextFile(state, folder, "README.TXT", ReadmeText(hack, header));
        Recordset files(state.Connection);
        files.Open(sql::SelectHackFilesOf + QString::number(request.hackNum) + sql::OrderByFileName);
        WriteTextFile(state, folder, request.name + ".txt", HackText(state, layout, hack, files, header));
        WriteSupportFiles(state, layout, files, folder, result);
    } catch (const std::exception& e) {
        return stop(ExportWriteError(QString::fromStdString(e.what())));
    }

    result.outcome = ExportOutcome::Finished;
    return result;
}

} // namespace

ExportResult StartTextExport(AppState& state, const TextExportRequest& request, const QDateTime& when)
{
    ExportResult result;
    result.folder = ExportFolderText(request.folder);
    if (std::optional<UserMessage> refusal
        = RunOrRefuse(state, DatabaseUse::Reads, [&] { result = TextExport(state, request, when); }))
        result.messages.push_back(*refusal);
    return result;
}

} // namespace zp
