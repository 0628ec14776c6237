// Times the recording of an edited board: 500 files of 64 KiB below cgi-bin/, 2,000 edits spread
// over 100 of them (changes, additions and removals in turn, every one its own region), recorded as
// a hack and checked by a trial installation; beside it `diff -ruN` of the same two folders. Reports
// the mods against the changed regions and the peak memory. Then one file of 100,000 lines with
// every fourth and with every other line changed: twice the changes should take about twice the time.
//   record_bench
// Exit status 2 when a recording cannot run, 1 when a figure misses its target: at most 3 times
// the time of diff -ruN, one mod per region, peak memory under 128 MiB, twice the changes in at
// most 2.5 times the time.
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

struct Recording
{
    double compare = 0, build = 0, store = 0;
    RecordResult result;

    double Seconds() const { return compare + build + store; }
};

// Records the changes from the board's source folder to the edited folder as a hack.
Recording Record(const bench::Board& board, const QString& edited)
{
    ScriptedDialogs dialogs;
    AppState state(board.home, dialogs);
    bench::OpenBoardDatabase(state, board);
    RecordRequest request;
    request.originalRoot = board.source;
    request.info = RecordedHackInfo(state, QStringLiteral("Benchmark"));
    Recording recording;
    std::vector<FileChange> changes;
    RecordedHack hack;
    recording.compare = bench::Seconds([&] { changes = CompareFolders(board.source, edited); });
    recording.build = bench::Seconds([&] { hack = BuildRecordedHack(state, request, changes); });
    recording.store = bench::Seconds([&] { recording.result = StoreRecordedHack(state, request, hack, changes); });
    CloseDatabase(state);
    return recording;
}

// The seconds to record one file of 100,000 lines in which every `every`-th line is changed.
double RecordLargeFile(int every)
{
    QTemporaryDir home;
    bench::Board board {home.path(), home.filePath("source"), home.filePath("output"), 0};
    const QString edited = home.filePath("edited");
    QByteArray original, changed;
    for (int n = 0; n < 100000; ++n) {
        const QByteArray line = LineOf(0, n);
        original += line;
        changed += n % every == 0 ? QByteArray("    edited(") + QByteArray::number(n) + ");\r\n" : line;
    }
    for (const QString& root : {board.source, edited})
        QDir().mkpath(QFileInfo(PathOf(root, 0)).path());
    bench::WriteFile(PathOf(board.source, 0), original);
    bench::WriteFile(PathOf(edited, 0), changed);
    const Recording recording = Record(board, edited);
    return recording.result.outcome == RecordOutcome::Stored ? recording.Seconds() : -1;
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

    const Recording recording = Record(board, edited);
    const RecordResult& result = recording.result;
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
                recording.Seconds(),
                recording.compare,
                recording.build,
                recording.store,
                diff,
                recording.Seconds() / diff,
                mods,
                regions,
                peak);
    const double quarter = RecordLargeFile(4), half = RecordLargeFile(2);
    if (quarter < 0 || half < 0) {
        std::fprintf(stderr, "record_bench: the large file's recording was not stored\n");
        return 2;
    }
    std::printf("one file of 100,000 lines: 25,000 changes %.2f s, 50,000 changes %.2f s (%.2fx, target 2.5x)\n",
                quarter,
                half,
                half / quarter);
    return recording.Seconds() <= 3 * diff && mods == regions && peak < 128 && half <= 2.5 * quarter ? 0 : 1;
}

} // namespace
} // namespace zp

int main()
{
    return zp::Run();
}
