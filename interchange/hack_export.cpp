#include "interchange/hack_export.h"

#include "app/app_state.h"
#include "app/common.h"
#include "app/job_lock.h"
#include "app/whole_file.h"
#include "core/catalogue_operations.h"
#include "database/recordset.h"
#include "database/sql.h"
#include "interchange/deflating_writer.h"
#include "interchange/encoder_calls.h"
#include "interchange/hack_description.h"
#include "interchange/hack_fields.h"
#include "interchange/interchange_common.h"
#include "interchange/package_text.h"

#include <QFile>

namespace zp {

namespace {

QList<SupportFileEntry> ReadSupportFiles(Recordset& rs)
{
    QList<SupportFileEntry> files;
    for (rs.MoveFirst(); !rs.EOF(); rs.MoveNext()) {
        SupportFileEntry f {NumberField(rs, "Location"), rs.Text("FileName"), TextField(rs, "CustomDir")};
        if (const QString problem = SupportFileProblem(f.FileName, f.CustomDir.value_or(QString())); !problem.isEmpty())
            throw std::runtime_error(("Support file " + f.FileName + ": " + problem).toStdString());
        files.append(f);
    }
    return files;
}

QList<ModEntry> ReadMods(Recordset& rs)
{
    QList<ModEntry> mods;
    for (rs.MoveFirst(); !rs.EOF(); rs.MoveNext())
        mods.append(ReadModEntry(rs));
    return mods;
}

// Exchange files are new: a name that is taken (a link planted there) is refused, never followed.
void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered) || !WriteFully(file, bytes))
        throw std::runtime_error(QString("Cannot write %1: %2").arg(path, file.errorString()).toStdString());
}

// Builds the package text from the description and the support files of `files` (the hack's
// HackFiles rows), compressed into the hack file as it is built (the compression runs beside the reading
// and encoding), which appears whole or not at all.
QString BuildHackFile(AppState& state,
                      Recordset& files,
                      const QString& exchange,
                      const QString& folder,
                      const QString& name,
                      FileEncoder* control)
{
    EncoderCalls fe(control);
    WholeFile hackFile(state.ProgramFolder, folder, name + (files.RecordCount() > 0 ? ".zpp" : ".zpx"));
    DeflatingWriter zpe(hackFile.Target(), [&hackFile](const QByteArray& bytes) { return hackFile.Write(bytes); });

    fe.EncodeFile(exchange + "/" + name + ".zpx", exchange + "/" + name + ".enc");
    AppendBlock(zpe, exchange + "/" + name + ".enc", name + ".zpx");

    int n = 0;
    for (files.MoveFirst(); !files.EOF(); files.MoveNext()) {
        // Support files pass the exchange folder under numbered names; the label keeps the name.
        const QString raw = QString("%1/support%2").arg(exchange).arg(++n);
        files.WriteBlobToFile("FileData", raw);
        fe.EncodeFile(raw, raw + ".enc");
        AppendBlock(zpe, raw + ".enc", files.Text("FileName"));
    }
    if (!zpe.Finish() && hackFile.Write(QByteArray()))
        throw std::runtime_error("Cannot write " + hackFile.Target().toStdString() + ": zlib failed");
    hackFile.Commit();
    return hackFile.Target();
}

// Steps 8 and on: the description, then the hack file, of the hack whose HackInfo row `hack`
// holds. Returns the hack file, or nothing when the hack has no mods.
QString
WriteHackFile(AppState& state, const Recordset& hack, const QString& folder, const QString& name, FileEncoder* control)
{
    const QString exchange = ExchangeFolder(state);
    ResetExchangeFolder(exchange);
    const QString num = QString::number(hack.Int("HackNum"));
    Recordset fileRows(state.Connection);
    fileRows.Open(sql::SelectHackFilesOf + num + sql::OrderByFileName);
    QList<SupportFileEntry> files = ReadSupportFiles(fileRows);
    Recordset modRows(state.Connection);
    modRows.Open(sql::SelectHackDataOf + num + sql::OrderByFileNameUpper);
    QList<ModEntry> mods = ReadMods(modRows);
    if (mods.isEmpty())
        return {};
    WriteFile(exchange + "/" + name + ".zpx", WriteHackDescription(name, ReadHackInfoFields(hack), files, mods));
    return BuildHackFile(state, fileRows, exchange, folder, name, control);
}

ExportResult Export(AppState& state, const ExportRequest& request)
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
    if (request.name.contains('.')) {
        result.focusName = true;
        return stop({"You cannot use any periods in the filename.  Remember not to add an extension.",
                     "Invalid Filename!",
                     MsgIcon::Critical});
    }
    if (folder.isEmpty())
        return stop(MissingExportPath);
    if (const std::optional<UserMessage> refusal = ExportFolderRefusal(state, folder))
        return stop(*refusal);

    const QString exchange = ExchangeFolder(state);
    try {
        SaveConfigText(state, "diagExportPath", folder);
        if (const std::optional<UserMessage> missing = PrepareExportFolder(folder, request.makeFolder))
            return stop(*missing);
        if (!IsPlainFileName(request.name))
            throw std::runtime_error("the export name is not a file name");
        result.hackFile = WriteHackFile(state, hack, folder, request.name, request.encoder);
    } catch (const std::exception& e) {
        DeleteFolderTree(exchange);
        return stop(ExportWriteError(QString::fromStdString(e.what())));
    }

    DeleteFolderTree(exchange);
    result.outcome = ExportOutcome::Finished;
    return result;
}

} // namespace

ExportResult StartExport(AppState& state, const ExportRequest& request)
{
    ExportResult result;
    result.folder = ExportFolderText(request.folder);
    if (std::optional<UserMessage> refusal
        = RunOrRefuse(state, DatabaseUse::Writes, [&] { result = Export(state, request); }))
        result.messages.push_back(*refusal);
    return result;
}

bool ShowExportEnd(Dialogs& dialogs, const ExportResult& result)
{
    for (const UserMessage& message : result.messages)
        ShowMessage(dialogs, message);
    return result.outcome == ExportOutcome::Finished && AskOpenOutputFolder(dialogs);
}

} // namespace zp
