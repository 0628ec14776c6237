#include "cli/arguments.h"
#include "cli/commands.h"
#include "encoder/file_encoder.h"

#include <cstdio>

namespace zp::cli {

namespace {

int16_t encodingNamed(const std::string& name)
{
    if (name == "base64")
        return encodeBase64;
    if (name == "uuencode")
        return encodeUucode;
    if (name == "quoted")
        return encodeQuoted;
    throw CommandError("unknown encoding " + name + " (base64, uuencode or quoted)");
}

// IN OUT [--encoding NAME] through the control's method; an empty OUT makes a temporary file,
// whose path is printed.
int runFileMethod(const CommandArguments& args, int32_t dispid, bool hasEncoding)
{
    ParsedArguments parsed = hasEncoding ? ParseArguments(args, 2, {"--encoding"}) : ParseArguments(args, 2, {});
    ArgumentText(parsed.positional[1]); // a file made under a name that is not text could not be named again
    FileEncoder encoder;
    std::vector<Variant> call;
    call.reserve(3);
    for (const std::string& path : parsed.positional)
        call.emplace_back(path);
    if (auto encoding = parsed.value("--encoding"))
        call.emplace_back(encodingNamed(*encoding));
    try {
        encoder.Invoke(dispid, call);
    } catch (const EncoderError& e) {
        throw CommandError("error " + std::to_string(e.number()) + ": " + e.description());
    }
    if (parsed.positional[1].empty())
        std::printf("%s\n", encoder.GetOutputFile().c_str());
    return exitSuccess;
}

} // namespace

int RunEncodeCommand(const GlobalOptions&, const CommandArguments& args)
{
    return runFileMethod(args, FileEncoder::dispidEncodeFile, true);
}

int RunDecodeCommand(const GlobalOptions&, const CommandArguments& args)
{
    return runFileMethod(args, FileEncoder::dispidDecodeFile, true);
}

int RunCompressCommand(const GlobalOptions&, const CommandArguments& args)
{
    return runFileMethod(args, FileEncoder::dispidCompressFile, false);
}

int RunExpandCommand(const GlobalOptions&, const CommandArguments& args)
{
    return runFileMethod(args, FileEncoder::dispidExpandFile, false);
}

} // namespace zp::cli
