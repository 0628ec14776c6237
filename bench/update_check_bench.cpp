// zenpatch-cli check-updates over many hacks whose update addresses this program serves from
// loopback: half of them name a newer version, half the same one. Prints the command's wall time
// and peak memory (RSS).
//
//   update_check_bench [HACKS]     (default 200)
#include "bench/timing.h"
#include "database/database.h"
#include "loopback_server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    const int hacks = argc > 1 ? std::atoi(argv[1]) : 200;
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    zp::test::LoopbackServer server;
    // A hack file of about 40 KiB each, so that the check reads only the first part of most.
    server.Serve("/newer.zpx", {200, zp::test::HackFileBytes("1.1", 30000)});
    server.Serve("/same.zpx", {200, zp::test::HackFileBytes("1.0", 30000)});
    {
        zp::Database::CreateNew(dir.filePath(zp::Database::FileName));
        zp::Database db;
        db.Open(dir.filePath(zp::Database::FileName));
        zp::Transaction transaction(db);
        for (int i = 0; i < hacks; ++i)
            db.Execute(
                QString("INSERT INTO HackInfo (Name, Version, HackType, UpdateURL) VALUES ('Hack %1', '1.0', 0, '%2')")
                    .arg(i, 5, 10, QChar('0'))
                    .arg(server.Url(i % 2 ? "/newer.zpx" : "/same.zpx").toString()));
        transaction.Commit();
    }

    QProcess cli;
    QEventLoop loop;
    QObject::connect(&cli, &QProcess::finished, &loop, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    cli.start(QCoreApplication::applicationDirPath() + "/zenpatch-cli",
              {"--home", dir.path(), "check-updates", "--format", "tsv"});
    loop.exec();
    const double seconds = timer.nsecsElapsed() / 1e9;
    const QList<QByteArray> lines = cli.readAllStandardOutput().split('\n');
    const qsizetype newer = std::count_if(
        lines.begin(), lines.end(), [](const QByteArray& line) { return line.contains("\tnewer version 1.1\t"); });
    std::printf("check-updates, %d hacks from loopback: %.2f s, peak RSS %ld KiB, %lld newer\n",
                hacks,
                seconds,
                zp::bench::PeakRssKiB(RUSAGE_CHILDREN),
                static_cast<long long>(newer));
    return cli.exitCode() == 0 && newer == hacks / 2 ? 0 : 1;
}
