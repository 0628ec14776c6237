#include "encoder_test_support.h"

#include <algorithm>
#include <cstdio>
#include <sys/wait.h>

namespace zp::test {
namespace {

class CliTest : public ScratchFolderTest
{
protected:
    struct Result
    {
        int status;
        std::string out;
        std::string err;
    };

    Result Cli(const std::string& arguments)
    {
        std::string command
            = std::string(ZENPATCH_CLI) + " " + arguments + " >" + Path("stdout") + " 2>" + Path("stderr");
        int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadBytes(Path("stdout")), ReadBytes(Path("stderr"))};
    }
};

TEST_F(CliTest, VersionAndHelp)
{
    EXPECT_EQ(Cli("--version").out, "zenpatch-cli 2.0.1\n");
    Result help = Cli("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("encode IN OUT [--encoding base64|uuencode|quoted]"), std::string::npos);
}

TEST_F(CliTest, EncodesAndDecodesThroughTheControl)
{
    std::string in = Write("in", "abc");
    EXPECT_EQ(Cli("encode " + in + " " + Path("b64")).status, 0);
    EXPECT_EQ(ReadBytes(Path("b64")), "YWJj\r\n");
    EXPECT_EQ(Cli("--home " + folder.string() + " encode " + in + " " + Path("uue") + " --encoding uuencode").status,
              0);
    EXPECT_EQ(Cli("decode --encoding=uuencode " + Path("uue") + " " + Path("back")).status, 0);
    EXPECT_EQ(ReadBytes(Path("back")), "abc");
    EXPECT_EQ(Cli("compress " + in + " " + Path("z")).status, 0);
    EXPECT_EQ(Cli("expand " + Path("z") + " " + Path("unz")).status, 0);
    EXPECT_EQ(ReadBytes(Path("unz")), "abc");
}

TEST_F(CliTest, ErrorsGiveStatusTwoAndOneLine)
{
    Result missing = Cli("expand " + Path("missing") + " " + Path("out"));
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "zenpatch-cli: error 53: File not found\n");
    Result notZlib = Cli("expand " + Write("text", "plain text") + " " + Path("out"));
    EXPECT_EQ(notZlib.err, "zenpatch-cli: error 5: Invalid procedure call or argument\n");

    const char* usage[] = {"",
                           "frobnicate",
                           "encode onlyone",
                           "encode a b --encoding rot13",
                           "compress a b --encoding base64",
                           "--bogus encode a b",
                           "encode a b --encoding"};
    for (const char* arguments : usage) {
        Result r = Cli(arguments);
        EXPECT_EQ(r.status, 2) << arguments;
        EXPECT_TRUE(r.err.starts_with("zenpatch-cli: ")) << arguments;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << arguments;
    }
}

} // namespace
} // namespace zp::test
