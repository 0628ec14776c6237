#include "install_board.h"

#include "app/app_state.h"
#include "app/common.h"
#include "app/configuration.h"
#include "database/database.h"
#include "database/recordset.h"
#include "database/sql.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace zp::bench {

namespace {

constexpr int kFolders = 20;

// A big board file: numbered script lines, with a unique hook line for every mod and a
// repeated token line for the "All" mods.
QByteArray BigFile(int file, int mods)
{
    QByteArray text;
    text.reserve(kBigFileBytes + 1024);
    for (int line = 0; text.size() < kBigFileBytes; ++line) {
        text
            += "    $value{" + QByteArray::number(line) + "} = &lookup('field', " + QByteArray::number(file) + ");\r\n";
        const int slot = line % 300;
        if (slot < mods)
            text += "# hook " + QByteArray::number(file) + "-" + QByteArray::number(slot) + " ##\r\n";
        if (line % 97 == 0)
            text += "token-" + QByteArray::number(line % (97 * mods) / 97) + "\r\n";
    }
    return text;
}

} // namespace

QString FolderOfFile(int n)
{
    return QStringLiteral("d%1").arg(n % kFolders, 2, 10, QChar('0'));
}

QString NameOfFile(int n)
{
    return QStringLiteral("f%1.cgi").arg(n, 4, 10, QChar('0'));
}

void WriteFile(const QString& path, const QByteArray& bytes, int times)
{
    QFile file(path);
    bool written = file.open(QIODevice::WriteOnly);
    for (int i = 0; written && i < times; ++i)
        written = file.write(bytes) == bytes.size();
    if (!written) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(2);
    }
}

Board GenerateBoard(const QString& home, int smallFiles, int bigFiles, int modsPerFile, qsizetype bigFileBytes)
{
    Board board {home, home + "/board", home + "/out", bigFiles};
    for (int f = 0; f < kFolders; ++f)
        QDir().mkpath(board.source + "/cgi-bin/" + FolderOfFile(f));
    const QByteArray small = QByteArray("print \"small board file\";\r\n").repeated(36);
    for (int n = 0; n < smallFiles + bigFiles; ++n) {
        const QString path = board.source + "/cgi-bin/" + FolderOfFile(n) + "/" + NameOfFile(n);
        if (n < bigFiles)
            WriteFile(path, BigFile(n, modsPerFile), int(std::max<qsizetype>(1, bigFileBytes / kBigFileBytes)));
        else
            WriteFile(path, small);
    }
    return board;
}

void StoreMods(AppState& state, int hack, int count, const std::function<Mod(int)>& modAt)
{
    Transaction transaction(state.Connection);
    Recordset mods(state.Connection);
    mods.Open(sql::SelectHackDataOf + QString::number(hack));
    for (int n = 0; n < count; ++n) {
        const Mod mod = modAt(n);
        mods.AddNew();
        mods.SetValue("HackNum", hack);
        mods.SetValue("ModOrder", n + 1);
        mods.SetValue("FileName", mod.file);
        mods.SetValue("PrimaryDir", 0);
        mods.SetValue("ExtendDir", mod.extendDir);
        mods.SetValue("ActionType", mod.action);
        mods.SetValue("ModInst", mod.inst);
        mods.SetValue("OldData", mod.oldData);
        mods.SetValue("NewData", mod.newData);
        mods.Update();
    }
    transaction.Commit();
}

void AddMods(AppState& state, int hack, int bigFiles, int modsPerFile)
{
    StoreMods(state, hack, bigFiles * modsPerFile, [modsPerFile](int n) {
        const int file = n / modsPerFile;
        const int k = n % modsPerFile;
        const bool all = k % 3 == 0;
        return Mod {NameOfFile(file),
                    "/" + FolderOfFile(file),
                    k % 6,
                    all ? 0 : 1,
                    all ? QStringLiteral("token-%1").arg(k) : QStringLiteral("# hook %1-%2 ##").arg(file).arg(k),
                    QStringLiteral("# added by mod %1\r\nsub hook%1 { return 1; }").arg(n + 2)};
    });
}

void OpenBoardDatabase(AppState& state, const Board& board, bool keepOutput)
{
    Database::CreateNew(board.home + "/" + Database::FileName);
    OpenDatabase(state);
    OptionsValues options;
    options.SourceDir = board.source;
    options.OutputDir = board.output;
    options.ubbCGIDir = QStringLiteral("cgi-bin");
    if (keepOutput)
        options.cfgDelOutputDir = 0;
    SaveOptions(state, options);
    LoadConfiguration(state);
}

int AddBenchmarkHack(AppState& state)
{
    Recordset& info = *state.HackInfoRecordset;
    info.ReOpen(sql::SelectHackInfo);
    info.AddNew();
    info.SetValue("Name", QStringLiteral("Benchmark"));
    info.SetValue("HackType", 0);
    info.Update();
    state.CurrentHackNum = info.Value("HackNum").toInt();
    info.ReOpen(sql::SelectHackInfo);
    info.MoveFirst();
    return state.CurrentHackNum;
}

} // namespace zp::bench
