#pragma once

#include "database/database.h"
#include "database/recordset.h"

#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>

namespace zp {

class Dialogs;

// The state every window and run shares: the database objects, the current hack and the
// configuration values. The program makes one at start and hands it to every window by reference;
// a test makes its own over a temporary program folder.
struct AppState
{
    AppState(QString programFolder, Dialogs& dialogs)
        : ProgramFolder(std::move(programFolder))
        , dialogs(dialogs)
    {
    }

    QString ProgramFolder; // the folder holding zpatch.zpd, enctemp/, zpk_inst_temp/ and zpk_rec_temp/,
                           // no trailing '/'
    Dialogs& dialogs;
    // How long a job waits for another job of the same program folder to end (JobLock).
    std::chrono::milliseconds JobLockWait {10000};

    // Database (OpenDatabase creates the recordsets closed; CloseDatabase releases them).
    QString ConnectionString;
    Database Connection;
    std::unique_ptr<Recordset> ConfigRecordset;
    std::unique_ptr<Recordset> HackInfoRecordset;
    std::unique_ptr<Recordset> HackDataRecordset;
    std::unique_ptr<Recordset> HackFilesRecordset;

    // The current hack.
    int CurrentHackNum = 0;
    qint16 CurrentHackType = 0; // 0 = UBB, 1 = vBulletin
    bool NewHackMode = false;
    int ImportedHackNum = 0; // the hack the last import added or replaced; 0 when it stored none
    QString CurrentModFilePath;
    QStringList DirectoryTable;

    // Configuration values (MainConfig), loaded by LoadConfiguration and after an Options save.
    QString SourceDir;
    QString OutputDir;
    QString cfgDefHackType;
    qint16 cfgModValidate = 0;
    qint16 cfgFileAssoc = 0;
    qint16 cfgSearchOutputDir = 0;
    qint16 cfgDelOutputDir = 0;
    qint16 cfgOverWriteSource = 0;
    qint16 cfgEOL = 0;
    QString cfgAuthName;
    QString cfgAuthEmail;
    QString cfgAuthHomePage;
    QString cfgAuthUpdate;
    QString cfgAuthCopyright;
    QString cfgAuthComment;
    QString cfgPreComment;
    QString cfgPostComment;
};

} // namespace zp
