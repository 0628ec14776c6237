// Times export and import of a large hack (200 mods, support files of 100 MiB, one of them 64 MiB)
// and the peak resident memory of each, beside `base64 -w 72 | gzip -6` over the same bytes, each the
// best of two runs; then the same export and import through the program's windows (offscreen,
// started as by a click) beside the routines the command line runs, each the best of two runs in
// alternating order.
// Usage: interchange_bench [total MiB of support files, default 100]
#include "app/app_state.h"
#include "app/common.h"
#include "app/scripted_dialogs.h"
#include "bench/timing.h"
#include "core/catalogue_operations.h"
#include "database/database.h"
#include "database/recordset.h"
#include "database/sql.h"
#include "interchange/frm_hack_export.h"
#include "interchange/frm_hack_import.h"
#include "interchange/hack_export.h"
#include "interchange/hack_import.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <random>
#include <string>

using namespace zp;
using bench::Seconds;

namespace {

constexpr qint64 MiB = 1 << 20;

// Resets the peak resident set size to the current one (Linux: clear_refs 5).
void ResetPeakMemory()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

qint64 PeakMemoryKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stoll(line.substr(6));
    }
    return -1;
}

// The best of two runs of the job, each begun with every earlier write on the disk, so that no run
// pays for writing back what was written before it (the benchmark hack, just stored, or the run before).
double QuietBestOfTwo(const std::function<void()>& job)
{
    return bench::Best([] { sync(); }, job, 2);
}

// A file of pseudo-random bytes, written in pieces; appended to `all` as well.
void WriteRandomFile(const QString& path, qint64 size, std::mt19937_64& random, QFile& all)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        std::exit(2);
    QByteArray piece(MiB, 0);
    for (qint64 done = 0; done < size; done += piece.size()) {
        piece.resize(qsizetype(std::min<qint64>(MiB, size - done)));
        for (qsizetype i = 0; i + 8 <= piece.size(); i += 8) {
            quint64 v = random();
            std::memcpy(piece.data() + i, &v, 8);
        }
        file.write(piece);
        all.write(piece);
    }
}

void AddBenchHack(AppState& state, const QString& dataFolder, qint64 totalMiB, QFile& all)
{
    std::mt19937_64 random(42);
    Transaction transaction(state.Connection);
    const int num = CreateHack(state, [](Recordset& rs) {
        rs.SetValue("Name", "Benchmark hack");
        rs.SetValue("HackType", 1);
        rs.SetValue("Comments", "A large hack for timing.");
    });
    Recordset mods(state.Connection);
    mods.Open(sql::SelectHackData);
    for (int i = 0; i < 200; ++i) {
        mods.AddNew();
        mods.SetValue("HackNum", num);
        mods.SetValue("FileName", QString("file%1.php").arg(i % 40, 3, 10, QChar('0')));
        mods.SetValue("ModOrder", i + 1);
        mods.SetValue("ModInst", 1);
        mods.SetValue("PrimaryDir", i % 8);
        mods.SetValue("ActionType", i % 6);
        mods.SetValue("OldData", QString("$old_line_%1 = true;\r\n").repeated(5).arg(i));
        mods.SetValue("NewData", QString("$new_line_%1 = compute($old_line_%1);\r\n").repeated(10).arg(i));
        mods.SetValue("Comment", QString("Mod %1").arg(i));
        mods.Update();
    }
    Recordset files(state.Connection);
    files.Open(sql::SelectHackFilesOf + QString::number(num));
    const qint64 bigMiB = totalMiB * 64 / 100, restMiB = totalMiB - bigMiB;
    QList<qint64> sizes {bigMiB * MiB};
    for (qint64 i = 0; i < 9; ++i)
        sizes.append(restMiB * MiB / 9);
    for (int i = 0; i < sizes.size(); ++i) {
        const QString path = dataFolder + QString("/support%1.bin").arg(i);
        WriteRandomFile(path, sizes[i], random, all);
        files.AddNew();
        files.SetValue("HackNum", num);
        files.SetValue("FileName", QString("support%1.bin").arg(i));
        files.SetValue("Location", i % 8);
        files.SetBlobFromFile("FileData", path);
        files.Update();
        QFile::remove(path);
    }
    transaction.Commit();
    FindHack(state, QString::number(num));
}

// Clicks a window's Start button and returns the seconds until the window has acted on the outcome.
double WindowSeconds(InterchangeDialog& window, QPushButton* start)
{
    QEventLoop loop;
    QObject::connect(&window, &InterchangeDialog::JobFinished, &loop, &QEventLoop::quit);
    return Seconds([&] {
        start->click();
        loop.exec();
    });
}

struct Times
{
    double commandLine = 1e9;
    double window = 1e9;
};

void PrintWindowTimes(const char* job, const Times& times)
{
    std::printf("%s: command line %.2f s, window %.2f s (%.2fx)\n",
                job,
                times.commandLine,
                times.window,
                times.window / times.commandLine);
}

// Export and import through the routines and through the windows, twice each; the first round
// runs the routine first, the second the window, so that neither always meets the larger database.
void CompareWithWindows(AppState& state, const QString& folder)
{
    Times exports, imports;
    for (int round = 0; round < 2; ++round) {
        const QString name = QString("round%1").arg(round);
        const QString byCli = name + "_cli", byWindow = name + "_window";
        auto exportByCli = [&] {
            exports.commandLine = std::min(exports.commandLine, Seconds([&] {
                                               StartExport(state, {state.CurrentHackNum, folder, byCli, false});
                                           }));
        };
        auto exportByWindow = [&] {
            frmHackExport window(state);
            window.txtExpFolder->setText(folder);
            window.txtHackFileName->setText(byWindow);
            exports.window = std::min(exports.window, WindowSeconds(window, window.cmdStartExport));
        };
        auto importByCli = [&] {
            imports.commandLine
                = std::min(imports.commandLine, Seconds([&] { ImportHackFile(state, folder + "/" + byCli + ".zpp"); }));
        };
        auto importByWindow = [&] {
            frmHackImport window(state);
            window.txtImpFile->setText(folder + "/" + byWindow + ".zpp");
            imports.window = std::min(imports.window, WindowSeconds(window, window.cmdStartImport));
        };
        using Run = std::function<void()>;
        const bool cliFirst = round == 0;
        for (const auto& [first, second] :
             {std::pair<Run, Run> {exportByCli, exportByWindow}, std::pair<Run, Run> {importByCli, importByWindow}}) {
            (cliFirst ? first : second)();
            (cliFirst ? second : first)();
        }
        FindHack(state, "Benchmark hack"); // the next exports take the benchmark hack again
    }
    PrintWindowTimes("export", exports);
    PrintWindowTimes("import", imports);
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const qint64 totalMiB = argc > 1 ? std::atoll(argv[1]) : 100;
    QTemporaryDir home, data;
    Database::CreateNew(home.filePath(Database::FileName));
    ScriptedDialogs dialogs;
    AppState state(home.path(), dialogs);
    OpenDatabase(state);
    LoadConfiguration(state);

    const QString allBytes = data.filePath("all.bin");
    QFile all(allBytes);
    all.open(QIODevice::WriteOnly);
    AddBenchHack(state, data.path(), totalMiB, all);
    all.close();

    ResetPeakMemory();
    ExportResult exported;
    int exportRuns = 0;
    const double exportTime = QuietBestOfTwo([&] {
        exported
            = StartExport(state, {state.CurrentHackNum, data.path(), ++exportRuns == 1 ? "bench" : "bench2", false});
    });
    const qint64 exportPeak = PeakMemoryKiB();
    if (exported.hackFile.isEmpty()) {
        std::fprintf(stderr, "export failed\n");
        return 1;
    }

    ResetPeakMemory();
    bool imported = true;
    const double importTime = QuietBestOfTwo(
        [&] { imported &= ImportHackFile(state, exported.hackFile).outcome == ImportOutcome::Imported; });
    const qint64 importPeak = PeakMemoryKiB();
    if (!imported) {
        std::fprintf(stderr, "import failed\n");
        return 1;
    }

    const std::string pipeline
        = "base64 -w 72 '" + allBytes.toStdString() + "' | gzip -6 > '" + data.filePath("all.gz").toStdString() + "'";
    const double pipelineTime = QuietBestOfTwo([&] {
        if (std::system(pipeline.c_str()) != 0)
            std::exit(2);
    });

    std::printf("support files: %lld MiB, hack file: %.1f MiB\n",
                static_cast<long long>(totalMiB),
                double(QFile(exported.hackFile).size()) / MiB);
    std::printf("base64 -w 72 | gzip -6: %.2f s\n", pipelineTime);
    std::printf("export: %.2f s (%.2fx the pipeline), peak RSS %.1f MiB\n",
                exportTime,
                exportTime / pipelineTime,
                double(exportPeak) / 1024);
    std::printf("import: %.2f s (%.2fx the pipeline), peak RSS %.1f MiB\n",
                importTime,
                importTime / pipelineTime,
                double(importPeak) / 1024);
    FindHack(state, "Benchmark hack");
    CompareWithWindows(state, data.path());
    CloseDatabase(state);
    return 0;
}
