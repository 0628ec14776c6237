#include "shell/single_instance.h"
#include "widget_test_app.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace zp {
namespace {

TEST(SingleInstanceTest, ALaterStartHandsItsFileToTheRunningProgramAndEnds)
{
    test::EnsureApplication();
    QTemporaryDir home;
    // A socket left behind by a program that ended does not keep the next one from listening.
    {
        QFile stale(SingleInstance::SocketName(home.path()));
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    }
    SingleInstance running(home.path());
    ASSERT_TRUE(running.Listen());
    QStringList handed;
    running.SetReceiver([&handed](const QString& file) { handed << file; });

    QProcess later;
    later.setWorkingDirectory(home.path());
    later.start(ZENPATCH_PROGRAM, {"--home", home.path(), "new hack.zpx"});
    const bool ended = QTest::qWaitFor([&later] { return later.state() == QProcess::NotRunning; }, 30000);
    if (!ended)
        later.kill();
    ASSERT_TRUE(ended);
    EXPECT_EQ(later.exitCode(), 0);
    EXPECT_EQ(handed, QStringList({home.filePath("new hack.zpx")}));
}

} // namespace
} // namespace zp
