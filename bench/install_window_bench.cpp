// Times the installation window with its log grid on screen against the command line on the same
// hack: the installation benchmark's board and hack (1,000 mods in 100 files of 256 KiB among
// 2,000 board files) installed by `zenpatch-cli install`, by the run alone, and by the window. Then
// fills the window's log from a hack of 10,000 one-line mods and times each thousand rows.
//   install_window_bench [SMALL_FILES BIG_FILES MODS_PER_BIG_FILE ONE_LINE_MODS]   (default 1900 100 10 10000)
// Exit status 2 when a mod failed; at the default size, 1 when the window takes more than 1.2 times
// the command line or the later thousands of rows take more than 1.5 times the earlier ones.
#include "install_board.h"

#include "app/app_state.h"
#include "app/common.h"
#include "app/scripted_dialogs.h"
#include "core/install_log.h"
#include "install/frm_install_hack.h"
#include "shell/mdi_main.h"
#include "widgets/flex_grid.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace zp {
namespace {

using namespace bench;

constexpr int FilesOfOneLineMods = 100;
constexpr int Rounds = 5; // the best of each is reported

// Opens the installer on the current hack, installs, and closes the window. Returns the seconds of
// the run ("&Install" to its end); `allApplied` is cleared when a mod failed.
double InstallInWindow(mdiMain& main, bool& allApplied, const std::function<void(FlexGrid&)>& watch = {})
{
    frmInstallHack& installer = ShowInstaller(main);
    if (watch)
        watch(*installer.fgInstallLog);
    const double seconds = Seconds([&] { installer.cmdInstall->click(); });
    for (int row = 1; row < installer.fgInstallLog->Rows(); ++row)
        allApplied &= !installer.fgInstallLog->RowColor(row).isValid();
    installer.cmdNext->click(); // "Would you like to open the output folder now?" No
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return seconds;
}

// The command line's installation of the hack, its rows thrown away.
bool InstallWithCommandLine(const QString& home, int hack)
{
    const QString command = QStringLiteral("'%1' --home '%2' install %3 >/dev/null 2>&1")
                                .arg(QStringLiteral(ZENPATCH_CLI), home, QString::number(hack));
    return std::system(command.toLocal8Bit().constData()) == 0;
}

struct Figures
{
    bool failed = false;
    bool slow = false;
};

void CompareWithTheCommandLine(int smallFiles, int bigFiles, int modsPerFile, Figures& figures)
{
    QTemporaryDir temp;
    const Board board = GenerateBoard(temp.path(), smallFiles, bigFiles, modsPerFile);
    ScriptedDialogs dialogs;
    AppState state(board.home, dialogs);
    OpenBoardDatabase(state, board);
    const int hack = AddBenchmarkHack(state);
    AddMods(state, hack, bigFiles, modsPerFile);

    // The three in turn, so that a busy moment of the machine does not fall on one of them alone.
    mdiMain main(state);
    main.resize(1000, 700);
    main.show();
    DefaultOptions host;
    RecordingLog log;
    bool ok = true;
    double cli = 1e9, run = 1e9, window = 1e9;
    for (int round = 0; round < Rounds; ++round) {
        cli = std::min(cli, Seconds([&] { ok &= InstallWithCommandLine(board.home, hack); }));
        log.Clear();
        run = std::min(run, Seconds([&] { RunInstallation(state, state.CurrentHackNum, host, log); }));
        ok &= !log.AnyRed();
        window = std::min(window, InstallInWindow(main, ok));
    }
    std::printf("board: %d files (%d of 256 KiB), %d mods\n", smallFiles + bigFiles, bigFiles, bigFiles * modsPerFile);
    std::printf("best of %d: zenpatch-cli install %.3f s, the run alone %.3f s, the window %.3f s (%.2fx the "
                "command line)\n",
                Rounds,
                cli,
                run,
                window,
                window / cli);
    CloseDatabase(state);
    figures.failed |= !ok;
    figures.slow |= window > 1.2 * cli;
}

// Files of 100 numbered lines; mod n replaces one line of one file.
void FillTheLogRowByRow(int oneLineMods, Figures& figures)
{
    QTemporaryDir temp;
    const Board board {temp.path(), temp.path() + "/board", temp.path() + "/out", 0};
    const int linesPerFile = (oneLineMods + FilesOfOneLineMods - 1) / FilesOfOneLineMods;
    QDir().mkpath(board.source + "/cgi-bin");
    for (int f = 0; f < FilesOfOneLineMods; ++f) {
        QByteArray text;
        for (int line = 0; line < linesPerFile; ++line)
            text += QStringLiteral("line %1 of file %2\r\n").arg(line).arg(f).toLatin1();
        WriteFile(board.source + QStringLiteral("/cgi-bin/f%1.cgi").arg(f, 3, 10, QChar('0')), text);
    }
    ScriptedDialogs dialogs;
    AppState state(board.home, dialogs);
    OpenBoardDatabase(state, board);
    const int hack = AddBenchmarkHack(state);
    StoreMods(state, hack, oneLineMods, [linesPerFile](int n) {
        const QString line = QStringLiteral("line %1 of file %2").arg(n % linesPerFile).arg(n / linesPerFile);
        return Mod {QStringLiteral("f%1.cgi").arg(n / linesPerFile, 3, 10, QChar('0')),
                    QString(),
                    4, // Replace
                    1,
                    line,
                    line + QStringLiteral(" changed")};
    });

    mdiMain main(state);
    main.resize(1000, 700);
    main.show();
    QElapsedTimer clock;
    QList<qint64> thousands; // milliseconds when the grid reached each thousand rows
    bool ok = true;
    InstallInWindow(main, ok, [&](FlexGrid& grid) {
        clock.start();
        QObject::connect(grid.model(), &QAbstractItemModel::rowsInserted, &grid, [&] {
            if (grid.Rows() % 1000 == 0)
                thousands << clock.elapsed();
        });
    });
    CloseDatabase(state);
    std::printf("%d one-line mods, milliseconds for each thousand rows of the log:", oneLineMods);
    for (int i = 0; i < thousands.size(); ++i)
        std::printf(" %lld", static_cast<long long>(thousands[i] - (i > 0 ? thousands[i - 1] : 0)));
    std::printf("\n");
    figures.failed |= !ok;
    // The first thousand also opens the window and the board files; of the others, the later half
    // may take at most 1.5 times the earlier half.
    const qsizetype n = thousands.size();
    if (n >= 5) {
        const qsizetype middle = 1 + (n - 1) / 2;
        const double earlier = double(thousands[middle] - thousands[1]) / double(middle - 1);
        const double later = double(thousands[n - 1] - thousands[middle]) / double(n - 1 - middle);
        figures.slow |= later > 1.5 * earlier;
    }
}

} // namespace
} // namespace zp

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const bool sized = argc > 4;
    zp::Figures figures;
    zp::CompareWithTheCommandLine(
        sized ? std::atoi(argv[1]) : 1900, sized ? std::atoi(argv[2]) : 100, sized ? std::atoi(argv[3]) : 10, figures);
    zp::FillTheLogRowByRow(sized ? std::atoi(argv[4]) : 10000, figures);
    if (figures.failed) {
        std::printf("some mods failed\n");
        return 2;
    }
    return !sized && figures.slow ? 1 : 0;
}
