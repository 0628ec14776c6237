#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif
#include "catalogue/network_fetcher.h"
#include "catalogue/update_check.h"
#include "catalogue_fixture.h"
#include "interchange/description_scanner.h"
#include "loopback_server.h"

#include <QCryptographicHash>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>

namespace zp {
namespace {

using namespace std::chrono_literals;
using test::HackFileBytes;
using test::LoopbackServer;

QByteArray FileHash(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                                          : QByteArray();
}

TEST(DescriptionScannerTest, ReadsTheDescriptionAPieceAtATimeAndNothingAfterIt)
{
    const QByteArray file = HackFileBytes("1.10") + "trailing bytes the scanner never needs";
    DescriptionScanner scanner;
    qsizetype fed = 0;
    while (fed < file.size() && scanner.Feed(QByteArrayView(file).sliced(fed, 1)) == DescriptionScanner::State::Reading)
        ++fed;
    ASSERT_EQ(scanner.Current(), DescriptionScanner::State::Read);
    EXPECT_EQ(scanner.Description().Info.Version, "1.10");
    EXPECT_LT(fed, file.size() - 30);

    const auto verdict = [](const QByteArray& bytes, qint64 maxFileBytes = qint64(1) << 20) {
        DescriptionScanner scanner(maxFileBytes);
        scanner.Feed(bytes);
        return scanner.Finish();
    };
    EXPECT_EQ(verdict("<html>not found</html>"), DescriptionScanner::State::NotAHackFile);
    EXPECT_EQ(verdict(HackFileBytes("1.0").chopped(20)), DescriptionScanner::State::NotAHackFile);
    EXPECT_EQ(verdict(qCompress("plain text\r\n").mid(4)), DescriptionScanner::State::NotAHackFile);
    EXPECT_EQ(verdict(qCompress(test::HackPackageText("1.0", 0, "1.5.0")).mid(4)),
              DescriptionScanner::State::NotAHackFile)
        << "written by a version whose files this one does not read";
    // A description that begins after 1.5 MiB of another block is more than the first MiB allows.
    const QByteArray late = HackFileBytes("1.0", qsizetype(3) << 19);
    EXPECT_EQ(verdict(late), DescriptionScanner::State::NotAHackFile);
    EXPECT_EQ(verdict(late, qint64(4) << 20), DescriptionScanner::State::Read);
}

TEST(DescriptionScannerTest, TakesNoByteBeyondItsBoundsOfFileAndText)
{
    const QByteArray text = test::HackPackageText("1.0");
    const QByteArray file = qCompress(text).mid(4);
    // The fewest bytes of the file that hold the whole description.
    qint64 needed = 0;
    DescriptionScanner whole;
    while (whole.Feed(QByteArrayView(file).sliced(needed++, 1)) == DescriptionScanner::State::Reading) { }
    const auto feed = [&](qint64 maxFileBytes, qint64 maxTextBytes) {
        DescriptionScanner scanner(maxFileBytes, maxTextBytes);
        return scanner.Feed(file);
    };
    EXPECT_EQ(feed(needed, text.size()), DescriptionScanner::State::Read);
    EXPECT_EQ(feed(needed - 1, text.size()), DescriptionScanner::State::NotAHackFile);
    EXPECT_EQ(feed(needed, text.size() - 1), DescriptionScanner::State::NotAHackFile);
}

class UpdateCheckTest : public test::CatalogueTest
{
protected:
    int AddHack(const QString& name, const QString& version, const QString& url)
    {
        const int number = CatalogueTest::AddHack(name);
        state.Connection.Execute(QString("UPDATE HackInfo SET Version = '%1', UpdateURL = %2 WHERE HackNum = %3")
                                     .arg(version, url.isEmpty() ? "NULL" : "'" + url + "'")
                                     .arg(number));
        return number;
    }

    std::map<QString, UpdateResult> Check()
    {
        CountingFetcher fetcher;
        std::map<QString, UpdateResult> byName;
        for (UpdateResult& result : CheckForUpdates(fetcher, UpdateCandidates(state)))
            byName[result.hack.Name] = result;
        mostAtOnce = fetcher.mostAtOnce;
        return byName;
    }

    // Counts the requests under way.
    struct CountingFetcher : UrlFetcher
    {
        std::function<void()> Get(const QUrl& url, Handlers handlers) override
        {
            mostAtOnce = qMax(mostAtOnce, ++running);
            const std::function<void(const QString&)> finished = handlers.finished;
            handlers.finished = [this, finished](const QString& failure) {
                --running;
                finished(failure);
            };
            return network.Get(url, handlers);
        }
        NetworkFetcher network {1s};
        int running = 0;
        int mostAtOnce = 0;
    };

    int mostAtOnce = 0;
#ifdef __SANITIZE_ADDRESS__
    // Qt's network thread keeps what it made for aborted answers past the manager's end; the leak
    // checker would blame that on the test.
    const __lsan::ScopedDisabler qtNetworkShutdown;
#endif
};

TEST_F(UpdateCheckTest, GivesEveryVerdictFourRequestsAtOnceAndWritesNothing)
{
    LoopbackServer server;
    const QByteArray newer = HackFileBytes("1.10");
    server.Serve("/newer.zpx", {200, newer});
    server.Serve("/same.zpx", {200, HackFileBytes("1.10.0")});
    server.Serve("/garbage.zpx", {200, "<html><body>Moved to our new forum!</body></html>"});
    server.Serve("/slow.zpx", {200, newer, {}, 3000});
    server.Serve("/endless.zpx", {200, newer.left(8), {}, 0, true});
    for (int i = 1; i <= 6; ++i)
        server.Redirect(QString("/hop%1").arg(i), i == 6 ? "/newer.zpx" : QString("/hop%1").arg(i + 1));
    AddHack("Newer", "1.9", server.Url("/newer.zpx").toString());
    AddHack("Same", "1.10", server.Url("/same.zpx").toString());
    AddHack("Ahead", "2.0", server.Url("/newer.zpx").toString());
    AddHack("Garbage", "1.0", server.Url("/garbage.zpx").toString());
    AddHack("Missing", "1.0", server.Url("/gone.zpx").toString());
    AddHack("Five hops", "1.0", server.Url("/hop2").toString());
    AddHack("Six hops", "1.0", server.Url("/hop1").toString());
    AddHack("Slow", "1.0", server.Url("/slow.zpx").toString());
    AddHack("Endless", "1.0", server.Url("/endless.zpx").toString());
    AddHack("Nowhere", "1.0", "");
    AddHack("Ftp", "1.0", "ftp://127.0.0.1/hack.zpx");
    const QByteArray before = FileHash(DatabasePath());

    std::map<QString, UpdateResult> results = Check();

    EXPECT_EQ(results["Newer"].Text(), "newer version 1.10");
    EXPECT_EQ(results["Newer"].size, newer.size());
    EXPECT_EQ(results["Same"].Text(), "up to date");
    EXPECT_EQ(results["Ahead"].Text(), "up to date");
    EXPECT_EQ(results["Garbage"].Text(), "not a hack file");
    EXPECT_EQ(results["Missing"].Text(), "unreachable: HTTP 404 Not Found");
    EXPECT_EQ(results["Five hops"].Text(), "newer version 1.10");
    EXPECT_EQ(results["Six hops"].Text(), "unreachable: more than 5 redirects");
    EXPECT_EQ(results["Slow"].Text(), "unreachable: no answer within 1 s");
    EXPECT_EQ(results["Endless"].Text(), "unreachable: no answer within 1 s");
    EXPECT_EQ(results["Nowhere"].Text(), "no update address");
    EXPECT_EQ(results["Ftp"].Text(), "unreachable: not an http or https address");

    EXPECT_EQ(mostAtOnce, UpdateCheck::MaxParallel);
    // Nothing but the GET and the headers HTTP needs; the redirects' cookie is never sent back.
    for (const QByteArray& head : server.requests) {
        EXPECT_TRUE(head.startsWith("GET /")) << head.toStdString();
        QByteArrayList names;
        for (const QByteArray& line : head.split('\n').mid(1))
            if (line.contains(':'))
                names << line.left(line.indexOf(':')).toLower();
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names.join(' '), "accept-encoding accept-language connection host user-agent") << head.toStdString();
        EXPECT_TRUE(head.contains("\r\nUser-Agent: Zenpatch/2.0.1\r\n")) << head.toStdString();
        EXPECT_TRUE(head.contains("\r\nAccept-Language: *\r\n")) << head.toStdString();
    }
    EXPECT_EQ(FileHash(DatabasePath()), before);
}

TEST_F(UpdateCheckTest, ARequestGivenUpFreesItsConnectionForTheNext)
{
    LoopbackServer server;
    server.Serve("/silent.zpx", {200, HackFileBytes("2.0"), {}, 60000});
    server.Serve("/hack.zpx", {200, HackFileBytes("2.0")});
    NetworkFetcher fetcher(200ms); // Qt opens at most six connections to one server
    QStringList failures;
    const auto get = [&](const QString& path) {
        fetcher.Get(
            server.Url(path),
            {[](qint64) {}, [](const QByteArray&) { return true; }, [&](const QString& f) { failures << f; }, {}});
    };
    for (int i = 0; i < 6; ++i)
        get("/silent.zpx");
    ASSERT_TRUE(QTest::qWaitFor([&] { return failures.size() == 6; }, 5000));
    get("/hack.zpx");
    ASSERT_TRUE(QTest::qWaitFor([&] { return failures.size() == 7; }, 5000));
    EXPECT_EQ(failures.last(), "");
}

TEST_F(UpdateCheckTest, StopsReadingABodyWithoutEndOnceItIsNoHackFile)
{
    LoopbackServer server;
    server.Serve("/endless.zpx", {200, QByteArray(65536, 'x'), {}, 0, false, true});
    AddHack("Endless", "1.0", server.Url("/endless.zpx").toString());
    NetworkFetcher fetcher(5s); // lives on, as in a longer check
    EXPECT_EQ(CheckForUpdates(fetcher, UpdateCandidates(state)).at(0).Text(), "not a hack file");
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.connections == 0; }, 3000)) << "the body is still being read";
}

TEST_F(UpdateCheckTest, AServerSilentTwiceIsNotAskedAgain)
{
    LoopbackServer dead;
    LoopbackServer live;
    dead.Serve("/hack.zpx", {200, HackFileBytes("2.0"), {}, 60000});
    live.Serve("/hack.zpx", {200, HackFileBytes("2.0")});
    for (int i = 1; i <= 8; ++i)
        AddHack(QString("Dead %1").arg(i), "1.0", dead.Url("/hack.zpx").toString());
    AddHack("Live", "1.0", live.Url("/hack.zpx").toString());
    std::map<QString, UpdateResult> results = Check();
    EXPECT_EQ(results["Dead 1"].Text(), "unreachable: no answer within 1 s");
    EXPECT_EQ(results["Dead 8"].Text(), "unreachable: the server did not answer earlier requests");
    EXPECT_EQ(results["Live"].Text(), "newer version 2.0");
    EXPECT_LE(dead.requests.size(), 5) << "four at once, and one more after the first silence";
}

TEST_F(UpdateCheckTest, HttpsWithATrustedCertificateOnlyAndNeverDownToHttp)
{
    LoopbackServer plain;
    LoopbackServer secure(true);
    secure.Serve("/newer.zpx", {200, HackFileBytes("3.0")});
    secure.Redirect("/down", plain.Url("/newer.zpx").toString());
    plain.Serve("/newer.zpx", {200, HackFileBytes("3.0")});
    AddHack("Secure", "2.0", secure.Url("/newer.zpx").toString());
    AddHack("Downgraded", "2.0", secure.Url("/down").toString());

    EXPECT_TRUE(Check()["Secure"].Text().startsWith("unreachable: ")) << "a certificate nobody vouches for";

    const QSslConfiguration original = QSslConfiguration::defaultConfiguration();
    QSslConfiguration trusting = original;
    trusting.addCaCertificates(QSslCertificate::fromData(test::LoopbackCertificatePem()));
    QSslConfiguration::setDefaultConfiguration(trusting);
    std::map<QString, UpdateResult> results = Check();
    QSslConfiguration::setDefaultConfiguration(original);
    EXPECT_EQ(results["Secure"].Text(), "newer version 3.0");
    EXPECT_EQ(results["Downgraded"].Text(), "unreachable: redirected from https to http");
    EXPECT_TRUE(plain.requests.isEmpty());
}

TEST_F(UpdateCheckTest, GoesThroughTheProxyOfTheEnvironment)
{
    LoopbackServer proxy;
    proxy.Serve("/hack.zpx", {200, HackFileBytes("1.1")});
    AddHack("Proxied", "1.0", "http://updates.example.invalid/hack.zpx");
    qputenv("http_proxy", proxy.Url("").toString().toUtf8());
    const std::map<QString, UpdateResult> results = Check();
    qunsetenv("http_proxy");
    EXPECT_EQ(results.at("Proxied").Text(), "newer version 1.1");
    ASSERT_EQ(proxy.requests.size(), 1);
    EXPECT_TRUE(proxy.requests[0].startsWith("GET http://updates.example.invalid/hack.zpx HTTP/1.1"));
}

TEST_F(UpdateCheckTest, DownloadsAWholeHackFileWithinItsCapOrNothing)
{
    LoopbackServer server;
    const QByteArray file = HackFileBytes("1.1", 200000);
    server.Serve("/hack.zpx", {200, file});
    server.Serve("/garbage.zpx", {200, QByteArray(5000, 'x')});
    NetworkFetcher fetcher(5s);
    const auto download = [&](const QString& path, qint64 cap) {
        QEventLoop loop;
        QString failure = "not finished";
        DownloadHackFile(fetcher, server.Url(path), folder.filePath("download.zpx"), cap, {}, [&](const QString& f) {
            failure = f;
            loop.quit();
        });
        loop.exec();
        return failure;
    };
    EXPECT_EQ(download("/hack.zpx", file.size() - 1), "the file is larger than " + SizeText(file.size() - 1));
    EXPECT_FALSE(QFile::exists(folder.filePath("download.zpx")));
    EXPECT_EQ(download("/garbage.zpx", file.size()), "not a hack file");
    EXPECT_FALSE(QFile::exists(folder.filePath("download.zpx")));
    // A description beyond what the update check reads is not looked for further.
    server.Serve("/late.zpx", {200, HackFileBytes("1.1", qsizetype(3) << 19)});
    EXPECT_EQ(download("/late.zpx", qint64(4) << 20), "not a hack file");
    EXPECT_EQ(download("/hack.zpx", file.size()), "");
    QFile written(folder.filePath("download.zpx"));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), file);
}

TEST_F(UpdateCheckTest, CommandLineReportsTheVerdictsAsTabSeparatedRows)
{
    LoopbackServer server;
    server.Serve("/newer.zpx", {200, HackFileBytes("1.1")});
    AddHack("Newer", "1.0", server.Url("/newer.zpx").toString());
    AddHack("Missing", "1.0", server.Url("/gone.zpx").toString());
    AddHack("Other", "1.0", "");
    QProcess cli;
    QEventLoop loop;
    QObject::connect(&cli, &QProcess::finished, &loop, &QEventLoop::quit);
    cli.start(ZENPATCH_CLI, {"--home", folder.path(), "check-updates", "Newer", "Missing", "--format", "tsv"});
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(cli.exitCode(), 1) << cli.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(cli.readAllStandardOutput()),
              QString("Hack\tVersion\tUpdate\tSize\n"
                      "Missing\t1.0\tunreachable: HTTP 404 Not Found\t\n"
                      "Newer\t1.0\tnewer version 1.1\t%1 bytes\n")
                  .arg(HackFileBytes("1.1").size()));
}

} // namespace
} // namespace zp
