#include "core/board_text.h"
#include "engine/work_buffer.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace zp {
namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

TEST(BoardTextTest, Utf8KeepsItsByteOrderMark)
{
    const QByteArray bytes("\xEF\xBB\xBFsmile \xC3\xA4\r\n");
    const BoardText board = DecodeBoardText(bytes);
    EXPECT_EQ(board.encoding, TextEncoding::Utf8);
    EXPECT_TRUE(board.bom);
    EXPECT_EQ(board.text, QString::fromUtf8("smile ä\r\n"));
    EXPECT_EQ(EncodeBoardText(board.text, board.encoding, board.bom), bytes);
}

TEST(BoardTextTest, EveryNonUtf8ByteRoundTripsThroughWindows1252)
{
    QByteArray bytes;
    for (int b = 0; b < 256; ++b) {
        if (b != '\r' && b != '\n')
            bytes += static_cast<char>(b);
    }
    const BoardText board = DecodeBoardText(bytes);
    EXPECT_EQ(board.encoding, TextEncoding::Windows1252);
    EXPECT_EQ(board.text[0x80 - 2], QChar(0x20AC));
    EXPECT_EQ(board.text[0x81 - 2], QChar(0x0081));
    EXPECT_EQ(board.text[0x9D - 2], QChar(0x009D));
    EXPECT_EQ(board.text[0x9F - 2], QChar(0x0178));
    EXPECT_EQ(board.text[0xE4 - 2], QChar(0x00E4));
    EXPECT_EQ(EncodeBoardText(board.text, board.encoding, false), bytes);
}

TEST(BoardTextTest, TruncatedUtf8SequenceIsWindows1252)
{
    const BoardText board = DecodeBoardText("caf\xC3");
    EXPECT_EQ(board.encoding, TextEncoding::Windows1252);
    EXPECT_EQ(board.text, QString::fromUtf8("cafÃ"));
    // A byte order mark before invalid UTF-8 is ordinary Windows-1252 text.
    EXPECT_EQ(EncodeBoardText(DecodeBoardText("\xEF\xBB\xBF\xE4").text, TextEncoding::Windows1252, false),
              QByteArray("\xEF\xBB\xBF\xE4"));
}

TEST(BoardTextTest, Windows1252WritesUnknownCharactersAsQuestionMarks)
{
    EXPECT_EQ(EncodeBoardText(QString::fromUtf8("€ ä → \u0080"), TextEncoding::Windows1252, false),
              QByteArray("\x80 \xE4 ? ?"));
}

TEST(BoardTextTest, EveryLineBreakBecomesCrLf)
{
    EXPECT_EQ(DecodeBoardText("a\nb\rc\r\nd\n\n\r\r").text, "a\r\nb\r\nc\r\nd\r\n\r\n\r\n\r\n");
    EXPECT_EQ(ToCrLf("\r\n\r\n"), "\r\n\r\n");
    EXPECT_EQ(ToCrLf("\r"), "\r\n");
    // In a long text of CR LF lines a single lone break is found wherever it falls in a block.
    const QString lines = QStringLiteral("line\r\n").repeated(8);
    for (qsizetype at = 0; at <= lines.size(); ++at) {
        for (const QString& lone : {QStringLiteral("\r"), QStringLiteral("\n")}) {
            QString text = lines;
            text.insert(at, lone);
            EXPECT_EQ(ToCrLf(text), QString(text).replace(QRegularExpression("\r\n|\r|\n"), "\r\n")) << at;
        }
    }
}

TEST(BoardTextTest, LfLinesEndEveryLineWithOneLf)
{
    EXPECT_EQ(ToLfLines("a\r\nb\r\n"), "a\nb\n");
    EXPECT_EQ(ToLfLines("a\r\nb"), "a\nb\n");
    EXPECT_EQ(ToLfLines("a\rb\r\n\r\n"), "a\nb\n\n");
    // A stray LF inside a line is dropped.
    EXPECT_EQ(ToLfLines("a\nb\r\n"), "ab\n");
    EXPECT_EQ(ToLfLines(""), "");
}

TEST(WorkBufferTest, SelectionIsClippedToTheText)
{
    WorkBuffer buffer;
    buffer.SetText("abc");
    buffer.SetSelStart(2);
    buffer.SetSelLength(10);
    EXPECT_EQ(buffer.SelLength(), 1);
    buffer.SetSelText("XY");
    EXPECT_EQ(buffer.Text(), "abXY");
    buffer.SetSelStart(9);
    buffer.SetSelText("!");
    EXPECT_EQ(buffer.Text(), "abXY!");
}

TEST(WorkBufferTest, SavesInTheFilesOwnEncodingAndKeepsUntouchedBytes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("board.tmpl");
    WriteAll(path, "caf\xE9\r\n<!-- hook -->\r\n\x93quoted\x94\r\n");
    WorkBuffer buffer;
    buffer.LoadFile(path);
    buffer.SetSelStart(buffer.Text().indexOf("hook"));
    buffer.SetSelLength(4);
    buffer.SetSelText(QString::fromUtf8("hook ä"));
    buffer.SaveFile(path, false);
    EXPECT_EQ(ReadAll(path), QByteArray("caf\xE9\r\n<!-- hook \xE4 -->\r\n\x93quoted\x94\r\n"));
    buffer.SaveFile(path, true);
    EXPECT_EQ(ReadAll(path), QByteArray("caf\xE9\n<!-- hook \xE4 -->\n\x93quoted\x94\n"));
}

// Edits leave the text in pieces, and a piece may end between the halves of a surrogate pair or of
// a CR LF: the saved bytes are those of the text laid out whole, in both line-end modes.
TEST(WorkBufferTest, TextInPiecesSavesAsTheWholeText)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("board.tmpl");
    WriteAll(path, "line one\r\nline two");
    WorkBuffer buffer;
    buffer.LoadFile(path);
    const auto insert = [&](qsizetype at, const QString& text) {
        buffer.SetSelStart(at);
        buffer.SetSelText(text);
    };
    insert(4, QStringView(u"-\xD83D").toString());
    insert(6, QStringView(u"\xDE00-\r").toString());
    insert(9, QStringLiteral("\n"));
    insert(0, QStringLiteral("x\r"));
    const QString whole = QStringView(u"x\rline-\U0001F600-\r\n one\r\nline two").toString();
    buffer.SaveFile(path, false);
    EXPECT_EQ(ReadAll(path), whole.toUtf8());
    buffer.SaveFile(path, true);
    EXPECT_EQ(ReadAll(path), ToLfLines(whole).toUtf8());
    EXPECT_EQ(buffer.Text(), whole);
}

// A text of several megabytes is written in several gathered writes: each byte once, in order,
// with a surrogate pair on the boundary of the first megabyte of units kept whole.
TEST(WorkBufferTest, LargeTextSavesAsTheWholeText)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("board.tmpl");
    QString text = QString((1 << 20) - 1, u'a') + QStringView(u"\U0001F600").toString();
    while (text.size() < 3 * (1 << 20))
        text += QStringLiteral("print $line; # \xE4\r\n");
    WorkBuffer buffer;
    buffer.SetText(text);
    buffer.SetSelStart(2 * (1 << 20));
    buffer.SetSelText(QStringLiteral("inserted\r\n"));
    ASSERT_GT(buffer.Searchable().Parts().size(), 1u);
    const QString whole = text.insert(2 * (1 << 20), u"inserted\r\n");
    buffer.SaveFile(path, false);
    EXPECT_EQ(ReadAll(path), whole.toUtf8());
    buffer.SaveFile(path, true);
    EXPECT_EQ(ReadAll(path), ToLfLines(whole).toUtf8());
}

TEST(WorkBufferTest, UnreadableOrUnwritablePathsThrow)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("folder");
    WorkBuffer buffer;
    EXPECT_THROW(buffer.LoadFile(dir.filePath("missing")), std::runtime_error);
    EXPECT_THROW(buffer.LoadFile(dir.filePath("folder")), std::runtime_error);
    EXPECT_THROW(buffer.SaveFile(dir.filePath("folder"), false), std::runtime_error);
}

} // namespace
} // namespace zp
