#include "encoder/encodings.h"
#include "encoder_test_support.h"
#include "tests/support/vector_state_probe.h"

namespace zp::test {
namespace {

class CompressionTest : public ScratchFolderTest
{
};

TEST_F(CompressionTest, EmptyFileGivesTheEightByteStream)
{
    ASSERT_TRUE(CompressFileData(Write("empty", ""), Path("out")));
    EXPECT_EQ(ReadBytes(Path("out")), ReadBytes(Golden("empty.zlib")));
}

TEST_F(CompressionTest, RoundTripsAwkwardSizes)
{
    for (size_t size : {0, 1, 2, 3, 15, 16, 17, 511, 512, 513, 1023, 1024, 1025, (1 << 20) + 7}) {
        std::string data = RandomBytes(size, static_cast<uint32_t>(size));
        // Half random, half repetitive, so that the stream both grows and shrinks.
        data += std::string(size, 'z');
        ASSERT_TRUE(CompressFileData(Write("data", data), Path("packed")));
        ASSERT_TRUE(ExpandFileData(Path("packed"), Path("back")));
        EXPECT_EQ(ReadBytes(Path("back")), data) << size;
    }
}

// Whatever the caller's progress observer ran, each block reaches zlib with the upper halves of the
// AVX registers unused: zlib's SSE code runs at four fifths of its speed otherwise.
TEST_F(CompressionTest, BlocksReachZlibWithTheUpperVectorHalvesUnused)
{
    if (!CanProbeUpperVectorState())
        GTEST_SKIP() << "the processor does not report the state of the AVX registers";
    UseUpperVectorState();
    ASSERT_TRUE(UpperVectorStateInUse());
    ASSERT_TRUE(CompressFileData(
        Write("data", RandomBytes(200000, 3)), Path("packed"), [](uint64_t) { UseUpperVectorState(); }));
    EXPECT_FALSE(UpperVectorStateInUse());
}

TEST_F(CompressionTest, BytesAfterTheStreamAreIgnored)
{
    std::string data = RandomBytes(5000, 1);
    ASSERT_TRUE(CompressFileData(Write("data", data), Path("packed")));
    Write("packed", ReadBytes(Path("packed")) + "trailing garbage");
    ASSERT_TRUE(ExpandFileData(Path("packed"), Path("back")));
    EXPECT_EQ(ReadBytes(Path("back")), data);
}

TEST_F(CompressionTest, FailedExpansionLeavesNoOutput)
{
    std::string data = RandomBytes(20000, 2);
    ASSERT_TRUE(CompressFileData(Write("data", data), Path("packed")));
    std::string packed = ReadBytes(Path("packed"));

    const std::pair<const char*, std::string> cases[] = {
        {"empty file", ""},
        {"text file", "This is plain text, not a zlib stream.\r\n"},
        {"truncated stream", packed.substr(0, packed.size() / 2)},
        {"stream without its checksum", packed.substr(0, packed.size() - 4)},
        {"stream asking for a preset dictionary", std::string("\x78\xbb\x00\x00\x00\x01\x03\x00", 8)},
    };
    for (const auto& [what, bytes] : cases) {
        Write("out", "old content");
        EXPECT_FALSE(ExpandFileData(Write("bad", bytes), Path("out"))) << what;
        EXPECT_FALSE(std::filesystem::exists(Path("out"))) << what;
    }
}

TEST_F(CompressionTest, MissingInputOrUncreatableOutputFails)
{
    EXPECT_FALSE(CompressFileData(Path("missing"), Path("out")));
    EXPECT_FALSE(std::filesystem::exists(Path("out")));
    EXPECT_FALSE(CompressFileData(Write("in", "x"), Path("no/folder/out")));
}

} // namespace
} // namespace zp::test
