#include "interchange/deflating_writer.h"
#include "interchange/encoder_calls.h"
#include "interchange/package_text.h"
#include "interchange_test_support.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <zlib.h>

using namespace zp;
using namespace zp::test;

namespace {

class PackageText : public ::testing::Test
{
protected:
    QTemporaryDir dir;

    QString Path(const QString& name) const { return dir.filePath(name); }

    QString WriteFile(const QString& name, const QByteArray& bytes) const
    {
        QFile f(Path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }

    static QByteArray ReadFile(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Base64 decoding that stands in for the encoder.
    static void Decode(const QString& in, const QString& out)
    {
        QFile f(out);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray::fromBase64(ReadFile(in).replace("\r\n", "")));
    }

    // Splits into a fresh exchange folder "x", as an import does.
    UnpackedPackage Split(const QByteArray& text, qint64 maxDescriptionSize = MaxDescriptionSize)
    {
        QDir(Path("x")).removeRecursively();
        QDir(dir.path()).mkpath("x");
        return SplitPackageText(WriteFile("p.dec", text), Path("x"), &PackageText::Decode, maxDescriptionSize);
    }

    // Every file that the split left, relative to the temporary folder.
    QStringList FilesOutsideExchange() const
    {
        QStringList names = QDir(dir.path()).entryList(QDir::Files);
        names.removeAll("p.dec");
        return names;
    }
};

QByteArray Block(const QByteArray& label, const QByteArray& content)
{
    return "[ZPKSTARTFILE]|" + label + "\r\n" + content.toBase64() + "\r\n[ZPKENDFILE]|" + label + "\r\n";
}

} // namespace

TEST_F(PackageText, AppendBlockCopiesTheEncodedLinesBetweenMarkers)
{
    QFile package(Path("n.zpe"));
    ASSERT_TRUE(package.open(QIODevice::WriteOnly | QIODevice::Append));
    AppendBlock(package, WriteFile("a.enc", "QUJD\r\nREVG\r\n"), "n.zpx");
    AppendBlock(package, WriteFile("b.enc", "\r\n"), "empty.txt");
    // LF ends, a CR inside a line, two CRs before an LF, a last line without an end.
    AppendBlock(package, WriteFile("c.enc", "QQ\nQ\rQ\r\r\n\nQUI\r"), "c.txt");
    package.close();
    EXPECT_EQ(ReadFile(Path("n.zpe")),
              "[ZPKSTARTFILE]|n.zpx\r\nQUJD\r\nREVG\r\n[ZPKENDFILE]|n.zpx\r\n"
              "[ZPKSTARTFILE]|empty.txt\r\n\r\n[ZPKENDFILE]|empty.txt\r\n"
              "[ZPKSTARTFILE]|c.txt\r\nQQ\r\nQ\rQ\r\r\n\r\nQUI\r\n[ZPKENDFILE]|c.txt\r\n");

    // A CR as the last byte of the first megabyte read: the end of a line, then a CR inside one.
    const QByteArray first((1 << 20) - 1, 'A');
    for (const auto& [tail, expected] : {std::pair<QByteArray, QByteArray> {"\r\nB", "\r\nB\r\n"},
                                         std::pair<QByteArray, QByteArray> {"\rB\n", "\rB\r\n"}}) {
        QFile big(Path("big.zpe"));
        ASSERT_TRUE(big.open(QIODevice::WriteOnly | QIODevice::Truncate));
        AppendBlock(big, WriteFile("big.enc", first + tail), "big.bin");
        big.close();
        EXPECT_EQ(ReadFile(Path("big.zpe")),
                  "[ZPKSTARTFILE]|big.bin\r\n" + first + expected + "[ZPKENDFILE]|big.bin\r\n");
    }
}

TEST_F(PackageText, SplitsBlocksIntoSeparateFiles)
{
    UnpackedPackage p = Split(Block("hack.zpx", "description") + Block("a.b.txt", "first") + Block("a.b.txt", "second")
                              + Block("late.zpx", "support"));
    ASSERT_TRUE(p.description);
    EXPECT_EQ(p.description->name, "hack.zpx");
    EXPECT_EQ(ReadFile(p.description->path), "description");
    ASSERT_EQ(p.files.size(), 3);
    EXPECT_EQ(p.files[0].name, "a.b"); // a third label piece is dropped
    EXPECT_EQ(p.files[1].name, "a.b");
    EXPECT_EQ(ReadFile(p.files[0].path), "first");
    EXPECT_EQ(ReadFile(p.files[1].path), "second");
    EXPECT_EQ(p.files[2].name, "late.zpx");
    EXPECT_EQ(ReadFile(p.files[2].path), "support");
    EXPECT_TRUE(FilesOutsideExchange().isEmpty());
}

// A block file is made afresh: a link planted at its name is refused, never written through.
TEST_F(PackageText, ALinkAtABlocksNameIsRefused)
{
    WriteFile("outside", "outside");
    QDir(dir.path()).mkpath("x");
    ASSERT_TRUE(QFile::link(Path("outside"), Path("x/block1.dec")));
    try {
        SplitPackageText(WriteFile("p.dec", Block("hack.zpx", "description")), Path("x"), &PackageText::Decode);
        ADD_FAILURE() << "written through the link";
    } catch (const PackageError& e) {
        EXPECT_EQ(e.number, 75);
    }
    EXPECT_EQ(ReadFile(Path("outside")), "outside");
}

TEST_F(PackageText, RefusesDamagedText)
{
    const QByteArray damaged[] = {
        "stray line\r\n" + Block("h.zpx", "d"),
        Block("h.zpx", "d") + "between\r\n" + Block("a.txt", "x"),
        "[ZPKSTARTFILE]|h.zpx\r\n[ZPKSTARTFILE]|a.txt\r\nQQ==\r\n[ZPKENDFILE]|a.txt\r\n",
        "[ZPKSTARTFILE]|h.zpx\r\nQQ==\r\n",
        "[ZPKENDFILE]|h.zpx\r\n",
        Block("noperiod", "x"),
    };
    for (const QByteArray& text : damaged)
        EXPECT_THROW(Split(text), PackageError) << text.toStdString();
}

TEST_F(PackageText, RefusesLabelsThatNameAPath)
{
    for (const QByteArray label : {"../evil.txt", "sub/evil.txt", "..\\evil.txt", "/etc/passwd.x"}) {
        EXPECT_THROW(Split(Block(label, "x")), RefusedPackageError) << label.toStdString();
        EXPECT_TRUE(FilesOutsideExchange().isEmpty());
    }
}

TEST_F(PackageText, LongLinesPassInPiecesAndALargeDescriptionIsRefused)
{
    QByteArray big(3 << 20, Qt::Uninitialized);
    for (int i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 131 >> 5);
    UnpackedPackage p = Split(Block("h.zpx", "d") + Block("big.bin", big)); // one line of 4 MiB
    ASSERT_EQ(p.files.size(), 1);
    EXPECT_EQ(ReadFile(p.files[0].path), big);

    EXPECT_NO_THROW(Split(Block("h.zpx", "ABC") + Block("more.zpx", "ABCDEF"), 3));
    EXPECT_THROW(Split(Block("h.zpx", "ABCD"), 3), RefusedPackageError);
}

TEST_F(PackageText, ExpansionLimit)
{
    QByteArray text(100000, 'a');
    uLongf size = compressBound(text.size());
    QByteArray packed(size, 0);
    ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(packed.data()),
                        &size,
                        reinterpret_cast<const Bytef*>(text.constData()),
                        text.size(),
                        6),
              Z_OK);
    packed.resize(size);

    QString whole = WriteFile("whole.zpx", packed);
    EXPECT_TRUE(ExpandsWithin(whole, 100000));
    EXPECT_FALSE(ExpandsWithin(whole, 99999));
    EXPECT_FALSE(ExpandsWithin(WriteFile("cut.zpx", packed.left(packed.size() / 2)), 1 << 30));
    EXPECT_FALSE(ExpandsWithin(WriteFile("text.zpx", "not compressed at all"), 1 << 30));
    EXPECT_FALSE(ExpandsWithin(Path("missing.zpx"), 1 << 30));
}

// The text written to the deflating writer, in pieces of any size, comes out as the encoder's
// compression of the whole text: the chunks handed to the thread neither lose nor repeat a byte.
TEST_F(PackageText, TheDeflatingWriterMakesTheEncodersBytes)
{
    QByteArray text;
    for (int i = 0; text.size() < 3 * 1024 * 1024 + 77; ++i)
        text += QByteArray::number(qint64(i) * 7919) + (i % 13 ? " " : "\r\n");
    QByteArray made;
    DeflatingWriter writer("out", [&made](const QByteArray& bytes) {
        made += bytes;
        return true;
    });
    qsizetype at = 0;
    for (const qsizetype piece : {qsizetype(7), qsizetype(1) << 20, qsizetype(2) << 20})
        at += writer.write(text.mid(at, piece));
    writer.write(text.mid(at));
    ASSERT_TRUE(writer.Finish());

    EncoderCalls().CompressFile(WriteFile("text", text), Path("text.z"));
    EXPECT_EQ(made, ReadFile(Path("text.z")));
}
