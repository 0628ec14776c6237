#pragma once

// The board and hack of the installation benchmarks: source files below cgi-bin/ in 20 folders,
// the first ones 256 KiB each with a hook line for every mod, and a hack whose mods change them.

#include "bench/timing.h"
#include "install/fixed_installation_options.h"

#include <QString>
#include <functional>

namespace zp {

struct AppState;

namespace bench {

// Writes a file whole, the bytes `times` over; ends the program (status 2) when it cannot.
void WriteFile(const QString& path, const QByteArray& bytes, int times = 1);

struct Board
{
    QString home, source, output;
    int bigFiles = 0;
};

constexpr qsizetype kBigFileBytes = 256 * 1024;

// Where board file n lies: its folder below cgi-bin/ and its name.
QString FolderOfFile(int n);
QString NameOfFile(int n);

// The board below `home`: smallFiles of 1 KiB and bigFiles of 256 KiB, each big file with hooks for
// modsPerFile mods. A larger bigFileBytes (a multiple of 256 KiB) repeats the 256 KiB text.
Board GenerateBoard(
    const QString& home, int smallFiles, int bigFiles, int modsPerFile, qsizetype bigFileBytes = kBigFileBytes);
// A new database in the board's home configured for it (UBB, "CGI" = cgi-bin), opened in `state`.
// With keepOutput, "Delete Output Directory Before Starting?" is off, as RunInstallation has it.
void OpenBoardDatabase(AppState& state, const Board& board, bool keepOutput = false);
// A new UBB hack "Benchmark", made the current row of HackInfoRecordset; returns its HackNum.
int AddBenchmarkHack(AppState& state);
// One mod of a benchmark hack, in the "CGI" location.
struct Mod
{
    QString file;
    QString extendDir;
    int action = 0;
    int inst = 1;
    QString oldData;
    QString newData;
};

// Stores `count` mods of the hack in one transaction, mod n (from 0) with ModOrder n + 1.
void StoreMods(AppState& state, int hack, int count, const std::function<Mod(int)>& modAt);
// The mods of the hack: modsPerFile for each big file, every third an "All" mod, the six actions in
// turn.
void AddMods(AppState& state, int hack, int bigFiles, int modsPerFile);

// The installation options all off, line ends CR LF.
using DefaultOptions = FixedInstallationOptions;

} // namespace bench
} // namespace zp
