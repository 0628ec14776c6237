#include "cli/arguments.h"

#include <algorithm>

namespace zp::cli {

namespace {

bool listed(std::initializer_list<std::string_view> names, std::string_view name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

} // namespace

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
    if (parsed.positional.size() != positionalCount)
        throw CommandError("expected " + std::to_string(positionalCount) + " arguments, got "
                           + std::to_string(parsed.positional.size()));
    return parsed;
}

} // namespace zp::cli
