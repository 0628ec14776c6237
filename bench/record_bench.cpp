// Times the recording of an edited board: 500 files of 64 KiB below cgi-bin/, 2,000 edits spread
// over 100 of them (changes, additions and removals in turn, every one its own region), recorded as
// a hack and checked by a trial installation; beside it `diff -ruN` of the same two folders. Reports
// the mods against the changed regions and the peak memory.
//   record_bench
// Exit status 2 when the recording cannot run, 1 when a figure misses its target: at most 3 times
// the time of diff -ruN, one mod per region, peak memory under 128 MiB.
#include "install_board.h"

#include "app/app_state.h"
#include "app/common.h"
#include "app/scripted_dialogs.h"
#include "authoring/recording.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

namespace zp {
namespace {

constexpr int kFiles = 500;
constexpr int kEditedFiles = 100;
constexpr int kEditsPerFile = 20;
constexpr int kLinesPerFile = 1024; // 64 bytes each: 64 KiB

// Line n of file f, 62 characters and CR LF; every eighth a closing brace, as code has many.
QByteArray LineOf(int f, int n)
{
    if (n % 8 == 7)
        return QByteArray("}").leftJustified(62, ' ') + "\r\n";
    return QStringLiteral("    print \"file %1 line %2\";").arg(f).arg(n).toUtf8().leftJustified(62, ' ') + "\r\n";
}

QString PathOf(const QString& root, int f)
{
    return QStringLiteral("%1/cgi-bin/d%2/file%3.cgi").arg(root).arg(f % 20).arg(f);
}

int Run()
{
    QTemporaryDir home;
    bench::Board board {home.path(), home.filePath("source"), home.filePath("output"), 0};
    const QString edited = home.filePath("edited");
    for (int f = 0; f < kFiles; ++f) {
        QByteArray original, changed;
        for (int n = 0; n < kLinesPerFile; ++n) {
            const QByteArray line = LineOf(f, n);
            original += line;
            // Edit e of an edited file lies at line 50e + 10: a change, an addition or a removal.
            const bool edit = f % (kFiles / kEditedFiles) == 0 && n % 50 == 10 && n / 50 < kEditsPerFile;
            switch (edit ? (n / 50) % 3 : -1) {
            case 0:
                changed += "    edited();" + line;
                break;
            case 1:
                changed += line + "    added();\r\n";
                break;
            case 2:
                break;
            default:
                changed += line;
            }
        }
        for (const QString& root : {board.source, edited})
            QDir().mkpath(QFileInfo(PathOf(root, f)).path());
        bench::WriteFile(PathOf(board.source, f), original);
        bench::WriteFile(PathOf(edited, f), changed);
    }

    ScriptedDialogs dialogs;
    AppState state(home.path(), dialogs);
    bench::OpenBoardDatabase(state, board);
    RecordRequest request;
    request.originalRoot = board.source;
    request.info = RecordedHackInfo(state, QStringLiteral("Benchmark"));
    RecordResult result;
    std::vector<FileChange> changes;
    RecordedHack hack;
    const double compare = bench::Seconds([&] { changes = CompareFolders(board.source, edited); });
    const double build = bench::Seconds([&] { hack = BuildRecordedHack(state, request, changes); });
    const double store = bench::Seconds([&] { result = StoreRecordedHack(state, request, hack, changes); });
    const double record = compare + build + store;
    if (result.outcome != RecordOutcome::Stored) {
        std::fprintf(stderr, "record_bench: the recording was not stored (%s)\n", qPrintable(result.brokenFile));
        return 2;
    }
    int mods = 0;
    for (const RecordedFile& file : result.files)
        mods += file.mods;
    const double diff = bench::Seconds([&] {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(QStringLiteral("diff"), {QStringLiteral("-ruN"), board.source, edited});
        process.waitForFinished(-1);
    });
    const double peak = bench::PeakMiB();
    const int regions = kEditedFiles * kEditsPerFile;
    std::printf("record %.2f s (compare %.2f, mods %.2f, trial and store %.2f), diff -ruN %.2f s (%.1fx, target "
                "3x); %d mods for %d regions; peak %.0f MiB (target 128)\n",
                record,
                compare,
                build,
                store,
                diff,
                record / diff,
                mods,
                regions,
                peak);
    CloseDatabase(state);
    return record <= 3 * diff && mods == regions && peak < 128 ? 0 : 1;
}

} // namespace
} // namespace zp

int main()
{
    return zp::Run();
}
