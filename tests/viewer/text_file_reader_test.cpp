#include "viewer/text_file_reader.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace zp {
namespace {

class TextFileReaderTest : public testing::Test
{
protected:
    QString Write(const QByteArray& bytes)
    {
        const QString path = dir.filePath("board.cgi");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QStringList Read(const QString& path)
    {
        TextFileReader reader;
        EXPECT_EQ(reader.Open(path), std::nullopt);
        QStringList pieces;
        while (!reader.AtEnd())
            pieces << reader.NextPiece();
        EXPECT_EQ(reader.NextPiece(), "");
        return pieces;
    }

    QTemporaryDir dir;
};

TEST_F(TextFileReaderTest, EveryLineEndsWithCrLf)
{
    EXPECT_EQ(Read(Write("one\r\ntwo")).join(""), "one\r\ntwo\r\n");
    EXPECT_EQ(Read(Write("a\nb\rc\r\n\n")).join(""), "a\r\nb\r\nc\r\n\r\n");
    EXPECT_TRUE(Read(Write("")).isEmpty());
}

TEST_F(TextFileReaderTest, LargeFilesArriveInPiecesOfWholeLines)
{
    QByteArray bytes;
    QString expected;
    for (int i = 0; i < 20000; ++i) {
        bytes += "line " + QByteArray::number(i) + "\n";
        expected += "line " + QString::number(i) + "\r\n";
    }
    const QStringList pieces = Read(Write(bytes));
    ASSERT_GT(pieces.size(), 2);
    for (qsizetype i = 0; i + 1 < pieces.size(); ++i) {
        EXPECT_GT(pieces[i].size(), TextPieceSize);
        EXPECT_LT(pieces[i].size(), TextPieceSize + 20);
        EXPECT_TRUE(pieces[i].endsWith("\r\n"));
    }
    EXPECT_EQ(pieces.join(""), expected);
}

TEST_F(TextFileReaderTest, MissingFileGivesTheReasonAndNoText)
{
    TextFileReader reader;
    EXPECT_NE(reader.Open(dir.filePath("none.txt")), std::nullopt);
    EXPECT_TRUE(reader.AtEnd());
}

TEST_F(TextFileReaderTest, ReadsUtf8AndWindows1252Files)
{
    EXPECT_EQ(Read(Write("gr\xC3\xBC\xC3\x9F")).join(""), u"grüß\r\n");
    EXPECT_EQ(Read(Write("gr\xFC\xDF \x80")).join(""), u"grüß €\r\n");
}

} // namespace
} // namespace zp
