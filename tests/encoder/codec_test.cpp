#include "encoder/encodings.h"
#include "encoder_test_support.h"

#include <vector>

namespace zp::test {
namespace {

using Routine = bool (*)(const std::string&, const std::string&);

class CodecTest : public ScratchFolderTest
{
protected:
    // Runs a routine on bytes and returns its output; expects the routine's success as given.
    std::string Run(Routine routine, const std::string& input, bool succeeds = true, const std::string& name = "in")
    {
        std::string in = Write(name, input);
        EXPECT_EQ(routine(in, Path("out")), succeeds);
        return ReadBytes(Path("out"));
    }
    void ExpectGolden(Routine routine, const std::string& inputName, const std::string& outputName)
    {
        std::string in = Golden(inputName).string();
        ASSERT_TRUE(routine(in, Path("out")));
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
            ASSERT_TRUE(pairs[p].first(in, Path("text")));
            ASSERT_TRUE(pairs[p].second(Path("text"), Path("back")));
            EXPECT_EQ(ReadBytes(Path("back")), data) << "encoding " << p << ", size " << size;
        }
    }
}

TEST_F(CodecTest, RoutinesFailOnMissingInputOrUncreatableOutput)
{
    for (Routine routine : {EncodeBase64File, DecodeBase64File, EncodeUuFile, DecodeUuFile, EncodeQuotedFile}) {
        EXPECT_FALSE(routine(Path("missing"), Path("out")));
        EXPECT_FALSE(routine(Write("in", "x"), Path("no/such/folder/out")));
    }
}

} // namespace
} // namespace zp::test
