#include "encoder/byte_streams.h"
#include "encoder/encodings.h"
#include "encoder_test_support.h"

#include <vector>

namespace zp::test {
namespace {

using Routine = bool (*)(const std::string&, const std::string&, const ReadObserver&);

class CodecTest : public ScratchFolderTest
{
protected:
    // Runs a routine on bytes and returns its output; expects the routine's success as given.
    std::string Run(Routine routine, const std::string& input, bool succeeds = true, const std::string& name = "in")
    {
        std::string in = Write(name, input);
        EXPECT_EQ(routine(in, Path("out"), {}), succeeds);
        return ReadBytes(Path("out"));
    }
    void ExpectGolden(Routine routine, const std::string& inputName, const std::string& outputName)
    {
        std::string in = Golden(inputName).string();
        ASSERT_TRUE(routine(in, Path("out"), {}));
        EXPECT_EQ(ReadBytes(Path("out")), ReadBytes(Golden(outputName))) << inputName;
    }
};

TEST_F(CodecTest, EncodersWriteTheGoldenBytes)
{
    ExpectGolden(EncodeBase64File, "abc.txt", "abc.b64");
    ExpectGolden(EncodeBase64File, "bytes54.bin", "bytes54.b64");
    ExpectGolden(EncodeBase64File, "bytes55.bin", "bytes55.b64");
    ExpectGolden(EncodeUuFile, "bytes45.bin", "bytes45.uue");
    ExpectGolden(EncodeQuotedFile, "qp_equals.txt", "qp_equals.qp");
    ExpectGolden(EncodeQuotedFile, "qp_letters.txt", "qp_letters.qp");
    ExpectGolden(EncodeQuotedFile, "qp_space_cr.txt", "qp_space_cr.qp");
}

TEST_F(CodecTest, DecodersReadTheGoldenBytes)
{
    ExpectGolden(DecodeBase64File, "bytes55.b64", "bytes55.bin");
    ExpectGolden(DecodeUuFile, "bytes45.uue", "bytes45.bin");
    ExpectGolden(DecodeQuotedFile, "qp_letters.qp", "qp_letters.txt");
    ExpectGolden(DecodeQuotedFile, "qp_space_cr.qp", "qp_space_cr.txt");
}

TEST_F(CodecTest, EmptyInputs)
{
    EXPECT_EQ(Run(EncodeBase64File, ""), "\r\n");
    EXPECT_EQ(Run(EncodeUuFile, "", true, "empty.dat"), "begin 644 empty.dat\r\n \r\nend\r\n");
    EXPECT_EQ(Run(EncodeQuotedFile, ""), "");
    EXPECT_EQ(Run(DecodeBase64File, ""), "");
    EXPECT_EQ(Run(DecodeQuotedFile, ""), "");
}

TEST_F(CodecTest, EveryEncodingRoundTripsAwkwardSizes)
{
    const std::vector<size_t> sizes {0, 1, 2, 3, 15, 16, 17, 511, 512, 513, (1u << 20) + 7};
    const std::vector<std::pair<Routine, Routine>> pairs {
        {EncodeBase64File, DecodeBase64File}, {EncodeUuFile, DecodeUuFile}, {EncodeQuotedFile, DecodeQuotedFile}};
    for (size_t p = 0; p < pairs.size(); ++p) {
        for (size_t size : sizes) {
            std::string data = RandomBytes(size, static_cast<uint32_t>(size * 3 + p));
            std::string in = Write("data", data);
            ASSERT_TRUE(pairs[p].first(in, Path("text"), {}));
            ASSERT_TRUE(pairs[p].second(Path("text"), Path("back"), {}));
            EXPECT_EQ(ReadBytes(Path("back")), data) << "encoding " << p << ", size " << size;
        }
    }
}

TEST_F(CodecTest, WriteFailuresAreReported)
{
    if (!std::filesystem::is_character_file("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    std::string in = Write("in", RandomBytes(200000, 5));
    for (Routine routine : {EncodeBase64File, EncodeUuFile, EncodeQuotedFile, DecodeQuotedFile, CompressFileData})
        EXPECT_FALSE(routine(in, "/dev/full", {}));
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
}

// A large output is written by a second thread from two buffers in turn while the next is filled:
// every byte lands once and in order, whichever way it was written, and a failed write is reported
// by the writer and its close.
TEST_F(CodecTest, FileWriterKeepsEveryByteAcrossItsBuffers)
{
    const std::string data = RandomBytes(5 * 1024 * 1024 + 11, 9);
    FileWriter out;
    ASSERT_TRUE(out.create(Path("out")));
    for (size_t at = 0, step = 0; at < data.size(); ++step) {
        const size_t n = std::min<size_t>(data.size() - at, step % 3 == 2 ? 1 : step * 977 % 70000);
        if (step % 3 == 0) {
            out.write(data.data() + at, n);
        } else if (step % 3 == 1) {
            const size_t part = std::min<size_t>(n, 4096);
            std::memcpy(out.reserve(part), data.data() + at, part);
            out.commit(part);
            at += part;
            continue;
        } else {
            out.put(static_cast<uint8_t>(data[at]));
        }
        at += n;
    }
    ASSERT_TRUE(out.close());
    EXPECT_TRUE(ReadBytes(Path("out")) == data);

    if (!std::filesystem::is_character_file("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    ASSERT_TRUE(out.create("/dev/full"));
    for (int i = 0; i < 8 && !out.failed(); ++i)
        out.write(data.data(), 1 << 20);
    EXPECT_TRUE(out.failed());
    EXPECT_FALSE(out.close());
}

TEST_F(CodecTest, RoutinesFailOnMissingInputOrUncreatableOutput)
{
    for (Routine routine : {EncodeBase64File, DecodeBase64File, EncodeUuFile, DecodeUuFile, EncodeQuotedFile}) {
        EXPECT_FALSE(routine(Path("missing"), Path("out"), {}));
        EXPECT_FALSE(routine(Write("in", "x"), Path("no/such/folder/out"), {}));
    }
}

// An output name that a link or a second name of another file stands on is refused; that file
// keeps its bytes. An output that is a plain file is replaced whole.
TEST_F(CodecTest, OutputsAreNeverWrittenThroughALinkOrIntoAFileWithOtherNames)
{
    const std::string victim = Write("victim", "victim");
    std::filesystem::create_symlink(victim, Path("symbolic"));
    std::filesystem::create_hard_link(victim, Path("hard"));
    const std::string in = Write("in", "x");
    for (Routine routine : {EncodeBase64File, EncodeUuFile, EncodeQuotedFile}) {
        EXPECT_FALSE(routine(in, Path("symbolic"), {}));
        EXPECT_FALSE(routine(in, Path("hard"), {}));
    }
    EXPECT_EQ(ReadBytes(victim), "victim");
    Write("plain", "a much longer old content");
    ASSERT_TRUE(EncodeBase64File(in, Path("plain"), {}));
    EXPECT_EQ(ReadBytes(Path("plain")), "eA==\r\n");
}

// Base64 text with lines of the given length, CR LF after each.
std::string Base64Lines(const std::string& text, size_t lineLength)
{
    std::string lines;
    for (size_t i = 0; i < text.size(); i += lineLength)
        lines += text.substr(i, lineLength) + "\r\n";
    return lines;
}

TEST_F(CodecTest, Base64DecoderAcceptsAnyLineLengthAndWhiteSpace)
{
    std::string data = RandomBytes(3000, 7);
    std::string encoded = Run(EncodeBase64File, data);
    std::string plain;
    for (char c : encoded) {
        if (c != '\r' && c != '\n')
            plain += c;
    }
    for (size_t lineLength : {75, 76, 1, 513}) {
        EXPECT_EQ(Run(DecodeBase64File, Base64Lines(plain, lineLength)), data) << lineLength;
    }
    EXPECT_EQ(Run(DecodeBase64File, "Y W\tJ\nj\r\nZA = =\r\n \t"), "abcd");
    EXPECT_EQ(Run(DecodeBase64File, "YWJjZA"), "abcd"); // the fill may be left out
}

TEST_F(CodecTest, Base64DecoderFailsInsteadOfLosingData)
{
    const char* bad[] = {
        "YWJj*ZA==\r\n", // a byte outside the alphabet
        "YWJj\r\n-\r\n", // one between groups
        "YWJjZA==\r\nYWJj\r\n", // data after the fill
        "YWJjZ\r\n", // a group left with one character
        "YWJjZ===\r\n", // a fill after the first character of a group
    };
    for (const char* text : bad)
        Run(DecodeBase64File, text, false);
    // Data after the fill in a later 512-byte block fails too.
    Run(DecodeBase64File, "YQ==" + std::string(600, ' ') + "YWJj", false);
}

TEST_F(CodecTest, QuotedDecoderEscapesAndSoftBreaks)
{
    EXPECT_EQ(Run(DecodeQuotedFile, "=41=4a=4A"), "AJJ");
    EXPECT_EQ(Run(DecodeQuotedFile, "=\r\n"), "");
    EXPECT_EQ(Run(DecodeQuotedFile, "ab=\r\ncd=\nef=\rgh"), "abcdefgh");
    // An "=" that starts no escape is kept with what follows it.
    EXPECT_EQ(Run(DecodeQuotedFile, "1=2 =G=4x==41 end="), "1=2 =G=4x=A end=");
    EXPECT_EQ(Run(DecodeQuotedFile, "tail =4"), "tail =4");
}

TEST_F(CodecTest, QuotedDecoderJoinsSoftBreaksSplitAcrossBlocks)
{
    for (size_t before : {509, 510, 511}) {
        std::string head(before, 'a');
        EXPECT_EQ(Run(DecodeQuotedFile, head + "=\r\nbc"), head + "bc") << before;
        EXPECT_EQ(Run(DecodeQuotedFile, head + "=4A=41"), head + "JA") << before;
    }
}

TEST_F(CodecTest, QuotedEncoderEscapesASpaceBeforeCrInTheNextBlock)
{
    for (size_t before : {14, 15, 16}) {
        std::string head(before, 'a');
        EXPECT_EQ(Run(EncodeQuotedFile, head + " \r\n"), head + "=20\r\n") << before;
    }
    EXPECT_EQ(Run(EncodeQuotedFile, "a \tb \n \r"), "a =09b \n=20\r");
    EXPECT_EQ(Run(EncodeQuotedFile, std::string("!\"#$@[\\]^`{|}=~\x7f\x80\xff\x01", 19)),
              "=21=22=23=24=40=5B=5C=5D=5E=60=7B=7C=7D=3D~=7F=80=FF=01");
}

TEST_F(CodecTest, UudecoderNeedsBeginAndEnd)
{
    std::string body = "begin 644 x\r\n#86)C\r\n \r\n";
    EXPECT_EQ(Run(DecodeUuFile, "junk\r\n" + body + "end"), "abc"); // "end" without a line break
    EXPECT_EQ(Run(DecodeUuFile, "begin 644 x\n#86)C\n`\nend\n"), "abc");
    EXPECT_EQ(Run(DecodeUuFile, body + "end\r\n"), "abc");
    // The data is written, but a zero-length line not followed by "end" fails.
    EXPECT_EQ(Run(DecodeUuFile, body + "the end\r\n", false), "abc");
    Run(DecodeUuFile, body, false);
    Run(DecodeUuFile, "begin 644 x\r\n#86)C\r\n", false);
    Run(DecodeUuFile, "#86)C\r\n \r\nend\r\n", false);
    Run(DecodeUuFile, "BEGIN 644 x\r\n \r\nend\r\n", false);
}

TEST_F(CodecTest, UudecoderPassesOverLinesThatDoNotFit)
{
    std::string longLine(2000, 'x');
    EXPECT_EQ(Run(DecodeUuFile, longLine + "\r\nbegin 644 x\r\n#86)C\r\n \r\nend\r\n"), "abc");
    // A data line cut short reads as if padded with blanks (zero bits).
    EXPECT_EQ(Run(DecodeUuFile, "begin 644 x\r\n#86\r\n \r\nend\r\n"), std::string("a`\0", 3));
}

TEST_F(CodecTest, UuencoderNamesTheInputWithoutItsFolder)
{
    std::string text = Run(EncodeUuFile, "abc", true, "name with space.txt");
    EXPECT_EQ(text, "begin 644 name with space.txt\r\n#86)C\r\n \r\nend\r\n");
}

TEST_F(CodecTest, UuencoderFillsTheLastShortGroupWithZeroBits)
{
    // After a full line of 0xFF bytes the group of "a" carries zero bits, not the bytes before it.
    const std::string text = Run(EncodeUuFile, std::string(45, '\xFF') + "a", true, "x");
    EXPECT_EQ(text, "begin 644 x\r\nM" + std::string(60, '_') + "\r\n!80  \r\n \r\nend\r\n");
}

} // namespace
} // namespace zp::test
