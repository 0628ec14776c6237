#include "app/regular_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace zp;

TEST(RegularFileTest, OnlyARegularFileWithinTheLimitIsRead)
{
    QTemporaryDir home;
    const QDir root(home.path());
    root.mkpath("in/sub");
    root.mkpath("out");
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile file(root.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    write("in/sub/a.txt", "bytes");
    write("in/big.txt", QByteArray(101, 'x'));
    write("out/secret.txt", "private");
    QFile::link(root.filePath("out/secret.txt"), root.filePath("in/link.txt"));
    QFile::link(root.filePath("out"), root.filePath("in/outside"));
    ASSERT_EQ(mkfifo(QFile::encodeName(root.filePath("in/pipe")).constData(), 0600), 0);

    const struct
    {
        const char* relative;
        QByteArray bytes;
        QString problem;
    } cases[] = {
        {"sub/a.txt", "bytes", ""},
        {"link.txt", "", "a symbolic link"},
        {"outside/secret.txt", "", "behind the symbolic link outside"},
        {"pipe", "", "not a regular file (a FIFO)"},
        {"sub", "", "not a regular file (a folder)"},
        {"big.txt", "", "larger than 100 bytes"},
        {"sub/../../out/secret.txt", "", "a path that leads out of " + root.filePath("in")},
    };
    for (const auto& c : cases) {
        const FileBytes read = ReadRegularFileBelow(root.filePath("in"), c.relative, 100);
        EXPECT_EQ(read.bytes, c.bytes) << c.relative;
        EXPECT_EQ(read.problem, c.problem) << c.relative;
    }
    EXPECT_TRUE(ReadRegularFileBelow(root.filePath("in"), "sub/none.txt", 100).Missing());
    // A path the user typed may be a link; what it leads to must still be a regular file.
    EXPECT_EQ(ReadRegularFile(root.filePath("in/link.txt"), 100).bytes, "private");
    EXPECT_EQ(ReadRegularFile(root.filePath("in/pipe"), 100).problem, "not a regular file (a FIFO)");
}
