// Times the hack editor: FillModList of a hack whose mods spread over board files, with "Validate
// Each Mod" on and off (offscreen), and adding one large support file beside `cp` of the same file
// (the best of two each), with the peak RSS of a process that does nothing else.
//
//   editor_bench [MODS [FILES [KIB]]]     (defaults 500, 50 and 256)
//   editor_bench --support-file [MIB]     (default 512)
#include "app/app_state.h"
#include "app/common.h"
#include "app/scripted_dialogs.h"
#include "bench/timing.h"
#include "catalogue/frm_edit_hack.h"
#include "catalogue/hack_editing.h"
#include "core/catalogue_operations.h"
#include "database/sql.h"
#include "shell/mdi_main.h"
#include "widgets/flex_grid.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

using zp::bench::MedianMs;
using zp::bench::Milliseconds;

void WriteFile(const QString& path, qint64 bytes, const QByteArray& line)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        std::exit(2);
    for (qint64 written = 0; written < bytes; written += line.size())
        file.write(line);
}

// The hack's mods go round the board files; every other one looks for text near the end of its
// file, the others for text the file does not hold, so each search runs through the whole file.
int ModListBench(int argc, char** argv)
{
    const int mods = argc > 1 ? std::atoi(argv[1]) : 500;
    const int files = argc > 2 ? std::max(1, std::atoi(argv[2])) : 50;
    const qint64 kib = argc > 3 ? std::atoll(argv[3]) : 256;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    QTemporaryDir dir;
    zp::ScriptedDialogs dialogs;
    zp::AppState state(dir.path(), dialogs);
    zp::Database::CreateNew(dir.filePath(zp::Database::FileName));
    zp::OpenDatabase(state);
    state.Connection.Execute("UPDATE MainConfig SET ubbCGIDir = 'cgi-bin'");
    zp::LoadConfiguration(state);
    state.SourceDir = dir.filePath("board");
    QDir().mkpath(state.SourceDir + "/cgi-bin");
    const QByteArray line = "    $output .= qq~<tr><td class=\"forum\">$forumname</td><td>$posts</td></tr>~;\r\n";
    for (int f = 0; f < files; ++f) {
        const QString path = state.SourceDir + QString("/cgi-bin/board%1.cgi").arg(f);
        WriteFile(path, (kib << 10) - 20, line);
        QFile file(path);
        file.open(QIODevice::Append);
        file.write("# end of board file\r\n");
    }
    const int hack = zp::CreateHack(state, [](zp::Recordset& row) {
        row.SetValue("Name", "Benchmark");
        row.SetValue("HackType", 0);
    });
    {
        zp::Transaction transaction(state.Connection);
        for (int m = 0; m < mods; ++m)
            state.Connection.Execute(
                QString("INSERT INTO HackData (HackNum, ModOrder, FileName, PrimaryDir, ActionType, ModInst, "
                        "OldData) VALUES (%1, %2, 'board%3.cgi', 0, 1, 1, '%4')")
                    .arg(hack)
                    .arg(m + 1)
                    .arg(m % files)
                    .arg(m % 2 ? "# END OF BOARD FILE" : "not in the file"));
        transaction.Commit();
    }

    zp::mdiMain main(state);
    main.show();
    zp::FindHack(state, QString::number(hack));
    state.NewHackMode = false;
    zp::frmEditHack& editor = zp::ShowHackEditor(main);
    int found = 0;
    for (const bool validate : {false, true}) {
        editor.chkValMods->setChecked(validate);
        const double ms = MedianMs(validate ? 3 : 5, [&] { editor.FillModList(); });
        std::printf("FillModList, %d mods over %d files of %lld KiB, validation %s: %.1f ms\n",
                    mods,
                    files,
                    kib,
                    validate ? "on" : "off",
                    ms);
    }
    for (int row = 1; row < editor.fgModList->Rows(); ++row)
        found += editor.fgModList->TextMatrix(row, 1) == "Yes";
    std::printf("rows with the old data found: %d of %d\n", found, mods);
    zp::CloseDatabase(state);
    return found == mods / 2 ? 0 : 1;
}

// Adds the file to a new database, twice, each time in a folder of its own that is removed again;
// the best time, beside the best of two `cp` of the same file. Each timing starts with what was
// written before it on the disk: the writing back of the input or of the last round's files would
// otherwise hold up the writes that are timed.
int SupportFileBench(int argc, char** argv)
{
    const qint64 mib = argc > 2 ? std::atoll(argv[2]) : 512;
    QTemporaryDir dir;
    const QString input = dir.filePath("big.bin");
    WriteFile(input, mib << 20, QByteArray(1 << 16, 'z'));
    double cp = 1e9, add = 1e9;
    bool stored = true;
    for (int round = 0; round < 2; ++round) {
        const QString folder = dir.filePath(QString("round%1").arg(round));
        QDir().mkpath(folder);
        sync();
        cp = std::min(cp, Milliseconds([&] { QProcess::execute("cp", {input, folder + "/copy.bin"}); }));
        QFile::remove(folder + "/copy.bin");
        sync();

        zp::ScriptedDialogs dialogs;
        zp::AppState state(folder, dialogs);
        zp::Database::CreateNew(folder + "/" + zp::Database::FileName);
        zp::OpenDatabase(state);
        zp::Recordset& files = *state.HackFilesRecordset;
        state.CurrentHackNum = 1;
        files.ReOpen(QString(zp::sql::SelectHackFilesOf) + "1");
        add = std::min(add,
                       Milliseconds([&] { zp::AddSupportFile(state, state.CurrentHackNum, input, 0, QString()); }));
        files.ReOpen(QString(zp::sql::SelectHackFilesOf) + "1");
        stored &= files.RecordCount() == 1 && files.BlobSize("FileData") == (mib << 20);
        zp::CloseDatabase(state);
        QDir(folder).removeRecursively();
    }
    std::printf("Adding a %lld MiB support file: %.0f ms (cp of the same file: %.0f ms); peak RSS %.1f MiB%s\n",
                mib,
                add,
                cp,
                zp::bench::PeakMiB(),
                stored ? "" : " - NOT STORED WHOLE");
    return stored ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && QByteArray(argv[1]) == "--support-file")
        return SupportFileBench(argc, argv);
    return ModListBench(argc, argv);
}
