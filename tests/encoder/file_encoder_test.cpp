#include "encoder/file_encoder.h"
#include "encoder/temp_file.h"
#include "encoder/xcoder32.h"
#include "encoder_test_support.h"

#include <cstdlib>
#include <optional>
#include <set>
#include <tuple>
#include <vector>

namespace zp::test {
namespace {

class FileEncoderTest : public ScratchFolderTest
{
protected:
    void SetUp() override
    {
        ScratchFolderTest::SetUp();
        // Temporary files of the control go into this test's folder.
        if (const char* tmp = std::getenv("TMP"))
            savedTmp = tmp;
        setenv("TMP", folder.c_str(), 1);
    }
    void TearDown() override
    {
        // An unset TMP is unset again: an empty one would be taken as the temporary folder by the
        // next test's fixture.
        if (savedTmp)
            setenv("TMP", savedTmp->c_str(), 1);
        else
            unsetenv("TMP");
        ScratchFolderTest::TearDown();
    }

    // The error number a call raises, 0 when it raises none.
    template <class Call>
    static int ErrorOf(Call call)
    {
        try {
            call();
        } catch (const EncoderError& e) {
            return e.number();
        }
        return 0;
    }

    FileEncoder fe;
    std::optional<std::string> savedTmp;
};

TEST_F(FileEncoderTest, NonTextFileArgumentsRaiseTypeMismatchWithItsOwnText)
{
    try {
        fe.EncodeFile(Variant(int16_t {7}), Variant(Path("out")));
        FAIL() << "no error raised";
    } catch (const EncoderError& e) {
        EXPECT_EQ(e.number(), 13);
        EXPECT_EQ(e.code(), 0x800A000Du);
        EXPECT_EQ(e.description(), "Invalid argument type passed to function");
    }
    EXPECT_EQ(ErrorOf([&] { fe.CompressFile(Variant(Path("in")), Variant()); }), 13);
}

TEST_F(FileEncoderTest, MethodArgumentSetsTheEncodingForLaterCalls)
{
    std::string in = Golden("bytes45.bin").string();
    fe.EncodeFile(in, Path("first"), Variant(int16_t {1}));
    EXPECT_EQ(fe.GetEncoding(), encodeUucode);
    fe.EncodeFile(in, Path("second"));
    EXPECT_EQ(ReadBytes(Path("second")), ReadBytes(Golden("bytes45.uue")));

    fe.EncodeFile(in, Path("third"), Variant("2")); // a text that converts to an integer
    EXPECT_EQ(fe.GetEncoding(), encodeQuoted);
    EXPECT_EQ(ErrorOf([&] { fe.EncodeFile(in, Path("x"), Variant("two")); }), 13);
    EXPECT_EQ(
        ErrorOf([&] { fe.EncodeFile(in, Path("x"), Variant(Variant::Error {static_cast<int32_t>(0x80004005u)})); }), 5);
    EXPECT_EQ(ErrorOf([&] { fe.EncodeFile(in, Path("x"), Variant(int16_t {3})); }), 380);
    EXPECT_EQ(fe.GetEncoding(), encodeQuoted);
}

TEST_F(FileEncoderTest, InvalidEncodingAndActionRaise380)
{
    EXPECT_EQ(ErrorOf([&] { fe.SetEncoding(3); }), 380);
    EXPECT_EQ(ErrorOf([&] { fe.SetEncoding(-1); }), 380);
    EXPECT_EQ(ErrorOf([&] { fe.SetAction(5); }), 380);
    EXPECT_EQ(fe.GetEncoding(), 0);
    EXPECT_EQ(fe.GetAction(), 0);
}

TEST_F(FileEncoderTest, ActionRunsTheOperationOnTheFileProperties)
{
    fe.SetInputFile(Golden("abc.txt").string());
    fe.SetOutputFile(Path("abc.b64"));
    fe.SetAction(1);
    EXPECT_EQ(fe.GetAction(), 1);
    EXPECT_EQ(ReadBytes(Path("abc.b64")), "YWJj\r\n");
    fe.SetInputFile(Path("abc.b64"));
    fe.SetOutputFile(Path("abc.txt"));
    fe.SetAction(2);
    EXPECT_EQ(ReadBytes(Path("abc.txt")), "abc");
}

TEST_F(FileEncoderTest, TextPropertiesConvertThroughBase64)
{
    fe.SetDecodedText("abc");
    EXPECT_EQ(fe.GetEncodedText(), "YWJj");
    fe.SetEncodedText("");
    EXPECT_EQ(fe.GetDecodedText(), "");
    EXPECT_EQ(fe.GetEncodedText(), "");
    fe.SetEncodedText("YWJjZA==");
    EXPECT_EQ(fe.GetDecodedText(), "abcd");
    EXPECT_EQ(ErrorOf([&] { fe.SetEncodedText("===="); }), 380); // decodes to nothing
    EXPECT_EQ(ErrorOf([&] { fe.SetEncodedText("YW*J"); }), 380);
    EXPECT_EQ(fe.GetDecodedText(), "abcd");
}

TEST_F(FileEncoderTest, InputAndOutputPathsAreChecked)
{
    EXPECT_EQ(ErrorOf([&] { fe.EncodeFile("", Path("out")); }), 53);
    EXPECT_EQ(ErrorOf([&] { fe.EncodeFile(Path("missing"), Path("out")); }), 53);
    EXPECT_EQ(ErrorOf([&] { fe.CompressFile(folder.string(), Path("out")); }), 75);
    std::string in = Write("in", "data");
    EXPECT_EQ(ErrorOf([&] { fe.CompressFile(in, folder.string()); }), 75);
    // A file is never written into itself.
    EXPECT_EQ(ErrorOf([&] { fe.CompressFile(in, in); }), 75);
    EXPECT_EQ(ReadBytes(in), "data");
    EXPECT_FALSE(std::filesystem::exists(Path("out")));
}

TEST_F(FileEncoderTest, FailedExpansionRaisesFiveAndLeavesNoOutput)
{
    std::string out = Write("out", "previous");
    EXPECT_EQ(ErrorOf([&] { fe.ExpandFile(Write("text", "not a stream\r\n"), out); }), 5);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(fe.GetOutputFile(), out); // a path the caller named stays set
    EXPECT_EQ(fe.GetState(), FileEncoder::stateIdle);
}

TEST_F(FileEncoderTest, EmptyOutputPathWritesATemporaryFile)
{
    fe.EncodeFile(Golden("abc.txt").string(), "");
    std::string made = fe.GetOutputFile();
    EXPECT_EQ(std::filesystem::path(made).parent_path(), folder);
    std::string name = std::filesystem::path(made).filename().string();
    ASSERT_EQ(name.size(), 11u) << name;
    EXPECT_EQ(name.substr(0, 2), "~R");
    EXPECT_EQ(name.substr(7), ".TMP");
    for (char c : name)
        EXPECT_FALSE(std::islower(static_cast<unsigned char>(c))) << name;
    EXPECT_EQ(ReadBytes(made), "YWJj\r\n");
}

TEST_F(FileEncoderTest, TemporaryFilesMadeFasterThanTheTickStayDistinct)
{
    std::set<std::string> made;
    for (int i = 0; i < 600; ++i) {
        const std::string path = MakeTempFile("TMP");
        ASSERT_FALSE(path.empty()) << "call " << i;
        made.insert(path);
    }
    EXPECT_EQ(made.size(), 600u);
}

TEST_F(FileEncoderTest, FailedDecodeRemovesTheTemporaryFileItMade)
{
    std::string in = Write("bad.uue", "no begin line here\r\n");
    EXPECT_EQ(ErrorOf([&] { fe.DecodeFile(in, "", Variant(int16_t {1})); }), 5);
    EXPECT_EQ(fe.GetOutputFile(), "");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1); // only bad.uue
    EXPECT_EQ(fe.GetState(), FileEncoder::stateIdle);
}

TEST_F(FileEncoderTest, TemporaryFolderFallsBackToTmp)
{
    setenv("TMP", Path("not-a-folder").c_str(), 1);
    fe.EncodeFile(Golden("abc.txt").string(), "");
    EXPECT_EQ(std::filesystem::path(fe.GetOutputFile()).parent_path(), "/tmp");
    std::filesystem::remove(fe.GetOutputFile());
}

TEST_F(FileEncoderTest, ProgressFiresAtStartAndEnd)
{
    std::vector<std::tuple<int32_t, int32_t, int16_t, int16_t>> calls;
    fe.SetProgressHandler([&](int32_t& read, int32_t& length, int16_t& percent) {
        calls.emplace_back(read, length, percent, fe.GetState());
    });
    fe.CompressFile(Write("empty", ""), Path("out"));
    using Call = std::tuple<int32_t, int32_t, int16_t, int16_t>;
    EXPECT_EQ(calls, (std::vector<Call> {{0, 0, 0, 2}, {0, 0, 0, 1}}));

    calls.clear();
    fe.EncodeFile(Write("ten", "0123456789"), Path("out"));
    EXPECT_EQ(calls, (std::vector<Call> {{0, 10, 0, 2}, {10, 10, 100, 1}}));
    EXPECT_EQ(fe.GetState(), 1);

    // A file of several read blocks (64 KiB each) also reports in between, while working.
    calls.clear();
    fe.EncodeFile(Write("large", std::string(200000, 'x')), Path("out"));
    EXPECT_EQ(calls,
              (std::vector<Call> {{0, 200000, 0, 2},
                                  {65536, 200000, 32, 2},
                                  {131072, 200000, 65, 2},
                                  {196608, 200000, 98, 2},
                                  {200000, 200000, 100, 1}}));
}

TEST_F(FileEncoderTest, InvokeDispatchesByIdentifier)
{
    std::string in = Write("in", "abc");
    fe.Invoke(FileEncoder::dispidEncoding, {Variant(int16_t {0})}, FileEncoder::InvokeKind::Put);
    fe.Invoke(FileEncoder::dispidEncodeFile, {Variant(in), Variant::ByRef(Variant(Path("out")))});
    EXPECT_EQ(ReadBytes(Path("out")), "YWJj\r\n");
    EXPECT_EQ(fe.Invoke(FileEncoder::dispidOutputFile), Variant(Path("out")));
    EXPECT_EQ(fe.Invoke(FileEncoder::dispidState), Variant(int16_t {1}));

    fe.Invoke(FileEncoder::dispidCompressFile, {Variant(in), Variant(Path("packed"))});
    fe.Invoke(FileEncoder::dispidExpandFile, {Variant(Path("packed")), Variant(Path("back"))});
    EXPECT_EQ(ReadBytes(Path("back")), "abc");

    using Kind = FileEncoder::InvokeKind;
    EXPECT_EQ(ErrorOf([&] { fe.Invoke(FileEncoder::dispidState, {Variant(int16_t {2})}, Kind::Put); }), 383);
    EXPECT_EQ(ErrorOf([&] { fe.Invoke(FileEncoder::dispidAction, {Variant("x")}, Kind::Put); }), 13);
    EXPECT_EQ(ErrorOf([&] { fe.Invoke(FileEncoder::dispidEncodeFile, {Variant(in)}); }), 450);
    EXPECT_EQ(ErrorOf([&] { fe.Invoke(99); }), 438);

    bool shown = false;
    fe.SetAboutBoxHandler([&] { shown = true; });
    fe.Invoke(FileEncoder::dispidAboutBox);
    EXPECT_TRUE(shown);
}

TEST_F(FileEncoderTest, VariantConvertsToIntegerAsAutomationDoes)
{
    EXPECT_EQ(Variant(2.5).ToInteger(), int16_t {2});
    EXPECT_EQ(Variant(3.5).ToInteger(), int16_t {4});
    EXPECT_EQ(Variant(true).ToInteger(), int16_t {-1});
    EXPECT_EQ(Variant(" 12 ").ToInteger(), int16_t {12});
    EXPECT_EQ(Variant().ToInteger(), int16_t {0});
    EXPECT_EQ(Variant(int32_t {40000}).ToInteger(), std::nullopt);
    EXPECT_EQ(Variant(Variant::Null {}).ToInteger(), std::nullopt);
    EXPECT_EQ(Variant("").ToInteger(), std::nullopt);
}

TEST_F(FileEncoderTest, CInterfaceRunsTheFileOperations)
{
    xcoder32_version_info info {20, 0, 0, 0, 0};
    EXPECT_EQ(xcoder32_get_version(&info), XCODER32_S_OK);
    EXPECT_EQ(std::tie(info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber), std::make_tuple(3u, 50u, 3540u));
    info.cbSize = 16;
    EXPECT_EQ(xcoder32_get_version(&info), XCODER32_E_INVALIDARG);
    EXPECT_EQ(xcoder32_get_version(nullptr), XCODER32_E_POINTER);

    xcoder32_encoder* encoder = xcoder32_create();
    int error = -1;
    std::string in = Write("in", "hello");
    EXPECT_EQ(xcoder32_set_encoding(encoder, 2, &error), 0);
    EXPECT_EQ(xcoder32_encode_file(encoder, in.c_str(), Path("qp").c_str(), &error), 0);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(xcoder32_compress_file(encoder, Path("qp").c_str(), nullptr, &error), 0);
    std::string temp = xcoder32_output_file(encoder);
    EXPECT_EQ(xcoder32_expand_file(encoder, temp.c_str(), Path("back").c_str(), &error), 0);
    EXPECT_EQ(ReadBytes(Path("back")), "hello");
    EXPECT_EQ(xcoder32_decode_file(encoder, Path("missing").c_str(), Path("x").c_str(), &error), -1);
    EXPECT_EQ(error, 53);
    EXPECT_STREQ(xcoder32_error_text(error), "File not found");
    EXPECT_EQ(xcoder32_set_encoding(encoder, 7, &error), -1);
    EXPECT_EQ(error, 380);
    EXPECT_EQ(xcoder32_get_encoding(encoder), 2);
    xcoder32_destroy(encoder);
}

} // namespace
} // namespace zp::test
