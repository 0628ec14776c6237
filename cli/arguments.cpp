#include "cli/arguments.h"

#include <QStringDecoder>
#include <algorithm>
#include <cstdio>

namespace zp::cli {

namespace {

bool listed(std::initializer_list<std::string_view> names, std::string_view name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

} // namespace

QString ArgumentText(const std::string& argument)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(QByteArrayView(argument.data(), qsizetype(argument.size())));
    if (!utf8.hasError())
        return text;
    std::string shown;
    for (const unsigned char c : argument) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, c >= 0x20 && c < 0x7F ? "%c" : "\\x%02x", c);
        shown += escaped;
    }
    throw CommandError("\"" + shown + "\" is not valid UTF-8, the system's file-name encoding");
}

std::optional<std::string> ParsedArguments::value(std::string_view name) const
{
    auto it = values.find(name);
    if (it == values.end())
        return std::nullopt;
    return it->second;
}

ParsedArguments ParseArguments(const CommandArguments& args,
                               size_t positionalCount,
                               std::initializer_list<std::string_view> valueOptions,
                               std::initializer_list<std::string_view> flagOptions)
{
    ParsedArguments parsed;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 3 || !arg.starts_with("--")) {
            parsed.positional.push_back(arg);
            continue;
        }
        size_t equals = arg.find('=');
        std::string name = arg.substr(0, equals);
        if (listed(valueOptions, name)) {
            if (equals != std::string::npos)
                parsed.values[name] = arg.substr(equals + 1);
            else if (i + 1 < args.size())
                parsed.values[name] = args[++i];
            else
                throw CommandError("option " + name + " needs a value");
        } else if (listed(flagOptions, name) && equals == std::string::npos) {
            parsed.flags.insert(name);
        } else {
            throw CommandError("unknown option " + arg);
        }
    }
    if (positionalCount != AnyCount && parsed.positional.size() != positionalCount)
        throw CommandError("expected " + std::to_string(positionalCount) + " arguments, got "
                           + std::to_string(parsed.positional.size()));
    return parsed;
}

bool LfLineEnds(const ParsedArguments& args, bool lfDefault)
{
    const std::string eol = args.value("--eol").value_or(lfDefault ? "lf" : "crlf");
    if (eol != "crlf" && eol != "lf")
        throw CommandError("--eol takes crlf or lf, not " + eol);
    return eol == "lf";
}

} // namespace zp::cli
