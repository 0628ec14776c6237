#include "interchange/hack_import.h"

#include "app/app_state.h"
#include "app/common.h"
#include "app/dialogs.h"
#include "app/job_lock.h"
#include "core/catalogue_operations.h"
#include "database/recordset.h"
#include "database/sql.h"
#include "interchange/encoder_calls.h"
#include "interchange/hack_fields.h"
#include "interchange/hack_unpack.h"
#include "interchange/interchange_common.h"

#include <QFileInfo>

namespace zp {

namespace {
void StoreSupportFiles(Recordset& rs, qint64 hackNum, const UnpackedHack& hack)
{
    const QList<SupportFileEntry>& files = hack.description.SupportFiles;
    for (qsizetype i = 0; i < files.size(); ++i) {
        rs.AddNew();
        rs.SetValue("HackNum", hackNum);
        rs.SetValue("Location", FieldValue(files[i].Location));
        rs.SetValue("FileName", files[i].FileName);
        rs.SetValue("CustomDir", FieldValue(files[i].CustomDir));
        rs.SetBlobFromFile("FileData", hack.supportFilePaths[i]);
        rs.Update();
    }
}

void StoreMods(Recordset& rs, qint64 hackNum, const QList<ModEntry>& mods)
{
    for (const ModEntry& m : mods) {
        rs.AddNew();
        rs.SetValue("HackNum", hackNum);
        WriteModEntry(rs, m);
        rs.Update();
    }
}

// The first hack (by number) whose name and version are those of `info`, 0 when there is none.
int SameHackInCatalogue(AppState& state, const HackInfoFields& info)
{
    Recordset hacks(state.Connection);
    hacks.Open(QStringLiteral("SELECT [HackNum], [Name], [Version] FROM [HackInfo] ORDER BY [HackNum]"));
    for (; !hacks.EOF(); hacks.MoveNext()) {
        if (hacks.Text("Name") == info.Name.value_or(QString())
            && hacks.Text("Version") == info.Version.value_or(QString()))
            return hacks.Int("HackNum");
    }
    return 0;
}

// Replace, Keep Both or Cancel for a hack whose name and version are already in the catalogue.
MsgAnswer AskAboutSameHack(AppState& state, const HackInfoFields& info, ImportDuplicate duplicate)
{
    if (duplicate == ImportDuplicate::Replace)
        return MsgAnswer::Replace;
    return state.dialogs.messageBox(
        QString("A hack named \"%1\", version \"%2\", is already in the catalogue. Replace it with the hack of this "
                "file, or keep both?")
            .arg(info.Name.value_or(QString()), info.Version.value_or(QString())),
        "Hack Import",
        MsgButtons::ReplaceKeepBothCancel,
        MsgIcon::Question);
}

// All rows of the hack in one transaction: a new hack, or over the rows of `replaced` (its
// information, mods and support files; its number, and so its backups, stay). Returns its number.
} // namespace

int StoreHack(AppState& state, const UnpackedHack& hack, int replaced)
{
    Transaction transaction(state.Connection);
    const int selected = state.CurrentHackNum;
    // The hack is stamped as a hack whose information is saved in the program is.
    const auto fill = [&](Recordset& rs) {
        WriteHackInfoFields(rs, hack.description.Info);
        rs.SetValue("LastMod", TimeStamp());
    };
    int hackNum = replaced;
    if (replaced != 0) {
        const QString number = QString::number(replaced);
        Recordset info(state.Connection);
        info.Open("SELECT * FROM [HackInfo] WHERE [HackNum] = " + number);
        fill(info);
        info.Update();
        state.Connection.Execute(sql::DeleteHackFilesOf + number);
        state.Connection.Execute(sql::DeleteHackDataOf + number);
    } else {
        hackNum = CreateHack(state, fill);
    }
    state.CurrentHackNum = selected; // the import adds a hack; the list's selection stays
    state.HackFilesRecordset->ReOpen(sql::SelectHackFilesOf + QString::number(state.CurrentHackNum)
                                     + sql::OrderByFileName);
    StoreSupportFiles(*state.HackFilesRecordset, hackNum, hack);
    // Only the new hack's rows (none yet): reading every mod of the catalogue to add a few grew with it.
    state.HackDataRecordset->ReOpen(sql::SelectHackDataOf + QString::number(hackNum));
    StoreMods(*state.HackDataRecordset, hackNum, hack.description.Mods);
    transaction.Commit();
    return hackNum;
}

void RefreshRecordsets(AppState& state)
{
    for (Recordset* rs :
         {state.HackInfoRecordset.get(), state.HackDataRecordset.get(), state.HackFilesRecordset.get()}) {
        if (rs->IsOpen())
            rs->Requery();
    }
}

namespace {

ImportResult Stopped(const UserMessage& message)
{
    return {ImportOutcome::Stopped, message};
}

ImportResult UnexpectedError(int number, const QString& description)
{
    return Stopped({QString("An unexpected error has occured, ERR: %1 - %2").arg(number).arg(description),
                    "Unexpected Error",
                    MsgIcon::Exclamation});
}

// Runs the import proper and gives its closing message; the caller removes the exchange folder.
ImportResult ImportInto(
    AppState& state, const QString& path, const QString& exchange, FileEncoder* encoder, ImportDuplicate duplicate)
{
    try {
        ResetExchangeFolder(exchange);
        UnpackedHack hack = UnpackHackFile(path, exchange, encoder);
        if (hack.description.TooOld) {
            return {ImportOutcome::Incompatible,
                    UserMessage {"This hack was created with an earlier version of Zenpatch and is not compatible "
                                 "with this version.",
                                 "Incompatible Hack!",
                                 MsgIcon::Exclamation}};
        }
        int replaced = SameHackInCatalogue(state, hack.description.Info);
        if (replaced != 0) {
            const MsgAnswer answer = AskAboutSameHack(state, hack.description.Info, duplicate);
            if (answer == MsgAnswer::Cancel)
                return {ImportOutcome::Stopped, std::nullopt};
            if (answer != MsgAnswer::Replace)
                replaced = 0;
        }
        state.ImportedHackNum = StoreHack(state, hack, replaced);
    } catch (const InvalidHackFile&) {
        return Stopped({"This file does not appear to be a valid ZPX or ZPP file, import aborted.",
                        "Invalid File",
                        MsgIcon::Exclamation});
    } catch (const ImportError& e) {
        return UnexpectedError(e.number, e.description);
    } catch (const EncoderFileError& e) {
        return UnexpectedError(75, QString::fromStdString(e.what()));
    } catch (const std::exception& e) {
        // Failures without a run-time error number of their own (database, file system).
        return UnexpectedError(440, QString::fromStdString(e.what()));
    }
    return {ImportOutcome::Imported, UserMessage {"Import Complete", "Import Complete!"}};
}

// The import proper, inside its job.
ImportResult Import(AppState& state, const QString& path, FileEncoder* encoder, ImportDuplicate duplicate)
{
    state.ImportedHackNum = 0;
    SaveConfigText(state, "diagImportPath", FolderOf(path));
    // Something there that is not a regular file is refused by name as it is opened.
    if (path.isEmpty() || !QFileInfo::exists(path))
        return Stopped({"Could not find file to import.", "Missing file"});
    const QString exchange = ExchangeFolder(state);
    ImportResult result = ImportInto(state, path, exchange, encoder, duplicate);
    RefreshRecordsets(state);
    DeleteFolderTree(exchange);
    return result;
}

} // namespace

ImportResult ImportHackFile(AppState& state, const QString& path, FileEncoder* encoder, ImportDuplicate duplicate)
{
    return RunForResult(
        state, DatabaseUse::Writes, ImportOutcome::Stopped, [&] { return Import(state, path, encoder, duplicate); });
}

ImportResult ImportHackFileAtStartup(AppState& state, const QString& path)
{
    state.HackInfoRecordset->ReOpen(sql::SelectHackInfo);
    return ImportHackFile(state, path);
}

ImportOutcome ShowImportEnd(Dialogs& dialogs, const ImportResult& result)
{
    ShowMessage(dialogs, result.message);
    return result.outcome;
}

} // namespace zp
