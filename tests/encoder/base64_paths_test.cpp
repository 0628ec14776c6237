// The vector and plain ways of base64 give the same bytes and the same errors.
#include "encoder/base64_kernels.h"
#include "encoder/encodings.h"
#include "encoder_test_support.h"
#include "fuzz/fuzz_support.h"

#include <vector>

namespace zp::test {
namespace {

// Puts back the way in use when a test ends.
class Base64PathsTest : public ScratchFolderTest
{
protected:
    void TearDown() override
    {
        UseBase64Path(BestBase64Path());
        ScratchFolderTest::TearDown();
    }

    // What every routine makes of the input on the way given: the file encoder's and decoder's
    // output and success (on files in memory), and the buffer routines' results.
    static std::string Outcome(Base64Path path, const std::string& input)
    {
        EXPECT_TRUE(UseBase64Path(path));
        fuzz::StreamResult encoded = fuzz::RunStream(EncodeBase64Stream, input);
        fuzz::StreamResult decoded = fuzz::RunStream(DecodeBase64Stream, input);
        std::string outcome = (encoded.ok ? "encoded:" : "encode failed:") + encoded.output;
        outcome += (decoded.ok ? "|decoded:" : "|decode failed:") + decoded.output;
        outcome += "|buffer:" + EncodeBase64Buffer(input) + "|";
        std::optional<std::string> buffer = DecodeBase64Buffer(input);
        outcome += buffer ? *buffer : "failed";
        return outcome;
    }

    // The paths this processor has, the plain one first.
    static std::vector<Base64Path> Paths()
    {
        std::vector<Base64Path> paths;
        for (Base64Path path : {Base64Path::Plain, Base64Path::Sse, Base64Path::Avx2}) {
            if (UseBase64Path(path))
                paths.push_back(path);
        }
        return paths;
    }
};

TEST_F(Base64PathsTest, EveryPathWritesAndReadsTheGoldenBytes)
{
    for (Base64Path path : Paths()) {
        SCOPED_TRACE(static_cast<int>(path));
        UseBase64Path(path);
        for (const char* name : {"abc", "bytes54", "bytes55"}) {
            const std::string bytes = ReadBytes(Golden(std::string(name) + (name[0] == 'a' ? ".txt" : ".bin")));
            const std::string encoded = ReadBytes(Golden(std::string(name) + ".b64"));
            ASSERT_TRUE(EncodeBase64File(Write("in", bytes), Path("out")));
            EXPECT_EQ(ReadBytes(Path("out")), encoded) << name;
            ASSERT_TRUE(DecodeBase64File(Write("in", encoded), Path("out")));
            EXPECT_EQ(ReadBytes(Path("out")), bytes) << name;
        }
    }
}

// Random bytes of every length up to 200 and around each run the kernels take (12, 16, 24, 28 and
// 32 bytes or characters, a 54-byte line, a 512-byte block, the readers' blocks), their encoding, and
// that encoding spoilt by one byte that the decoders must refuse or skip at every kind of place.
TEST_F(Base64PathsTest, EveryPathAgreesWithThePlainCodeOnBytesAndErrors)
{
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= 200; ++n)
        lengths.push_back(n);
    for (size_t block : {256, 384, 512, 1024, 3456, 4096, 65536}) {
        for (size_t n = block - 4; n <= block + 4; ++n)
            lengths.push_back(n);
    }
    const std::vector<Base64Path> paths = Paths();
    const char spoilers[] = {'*', '=', ' ', '\n', '\x80', '-', '\0', 'A'};
    std::mt19937 random(30);
    for (size_t n : lengths) {
        const std::string bytes = RandomBytes(n, static_cast<uint32_t>(n));
        ASSERT_TRUE(UseBase64Path(Base64Path::Plain));
        std::string encoded = EncodeBase64Buffer(bytes);
        const std::string lines = fuzz::RunStream(EncodeBase64Stream, bytes).output;
        std::vector<std::string> inputs = {bytes, encoded, lines};
        for (const std::string& text : {encoded, lines}) {
            if (text.empty())
                continue;
            std::string spoilt = text;
            spoilt.insert(random() % (text.size() + 1), 1, spoilers[random() % sizeof spoilers]);
            inputs.push_back(spoilt);
            spoilt = text;
            spoilt[random() % text.size()] = spoilers[random() % sizeof spoilers];
            inputs.push_back(spoilt);
        }
        for (const std::string& input : inputs) {
            const std::string expected = Outcome(Base64Path::Plain, input);
            for (Base64Path path : paths) {
                ASSERT_EQ(Outcome(path, input), expected)
                    << "path " << static_cast<int>(path) << ", length " << n << ", input " << input;
            }
        }
    }
}

} // namespace
} // namespace zp::test
