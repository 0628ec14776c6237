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

void ShowInvalidFile(Dialogs& dialogs)
{
    dialogs.messageBox("This file does not appear to be a valid ZPX or ZPP file, import aborted.",
                       "Invalid File",
                       MsgButtons::OK,
                       MsgIcon::Exclamation);
}

void ShowUnexpectedError(Dialogs& dialogs, int number, const QString& description)
{
    dialogs.messageBox(QString("An unexpected error has occured, ERR: %1 - %2").arg(number).arg(description),
                       "Unexpected Error",
                       MsgButtons::OK,
                       MsgIcon::Exclamation);
}

// Runs the import proper and shows its closing message; the caller removes the exchange folder.
ImportOutcome ImportInto(
    AppState& state, const QString& path, const QString& exchange, FileEncoder* encoder, ImportDuplicate duplicate)
{
    Dialogs& dialogs = state.dialogs;
    try {
        ResetExchangeFolder(exchange);
        UnpackedHack hack = UnpackHackFile(path, exchange, encoder);
        if (hack.description.TooOld) {
            dialogs.messageBox("This hack was created with an earlier version of Zenpatch and is not compatible "
                               "with this version.",
                               "Incompatible Hack!",
                               MsgButtons::OK,
                               MsgIcon::Exclamation);
            return ImportOutcome::Incompatible;
        }
        int replaced = SameHackInCatalogue(state, hack.description.Info);
        if (replaced != 0) {
            const MsgAnswer answer = AskAboutSameHack(state, hack.description.Info, duplicate);
            if (answer == MsgAnswer::Cancel)
                return ImportOutcome::Stopped;
            if (answer != MsgAnswer::Replace)
                replaced = 0;
        }
        state.ImportedHackNum = StoreHack(state, hack, replaced);
    } catch (const InvalidHackFile&) {
        ShowInvalidFile(dialogs);
        return ImportOutcome::Stopped;
    } catch (const ImportError& e) {
        ShowUnexpectedError(dialogs, e.number, e.description);
        return ImportOutcome::Stopped;
    } catch (const EncoderFileError& e) {
        ShowUnexpectedError(dialogs, 75, QString::fromStdString(e.what()));
        return ImportOutcome::Stopped;
    } catch (const std::exception& e) {
        // Failures without a run-time error number of their own (database, file system).
        ShowUnexpectedError(dialogs, 440, QString::fromStdString(e.what()));
        return ImportOutcome::Stopped;
    }
    dialogs.messageBox("Import Complete", "Import Complete!", MsgButtons::OK, MsgIcon::None);
    return ImportOutcome::Imported;
}

// The import proper, inside its job.
ImportOutcome Import(AppState& state, const QString& path, FileEncoder* encoder, ImportDuplicate duplicate)
{
    state.ImportedHackNum = 0;
    SaveConfigText(state, "diagImportPath", FolderOf(path));
    // Something there that is not a regular file is refused by name as it is opened.
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        state.dialogs.messageBox("Could not find file to import.", "Missing file", MsgButtons::OK, MsgIcon::None);
        return ImportOutcome::Stopped;
    }
    const QString exchange = ExchangeFolder(state);
    ImportOutcome outcome = ImportInto(state, path, exchange, encoder, duplicate);
    RefreshRecordsets(state);
    DeleteFolderTree(exchange);
    return outcome;
}

} // namespace

ImportOutcome ImportHackFile(AppState& state, const QString& path, FileEncoder* encoder, ImportDuplicate duplicate)
{
    ImportOutcome outcome = ImportOutcome::Stopped;
    RunAsJob(state, DatabaseUse::Writes, [&] { outcome = Import(state, path, encoder, duplicate); });
    return outcome;
}

ImportOutcome ImportHackFileAtStartup(AppState& state, const QString& path)
{
    state.HackInfoRecordset->ReOpen(sql::SelectHackInfo);
    return ImportHackFile(state, path);
}

} // namespace zp
