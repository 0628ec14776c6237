#pragma once

#include "cli/commands.h"

#include <QString>
#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace zp::cli {

// A command's arguments split into positional ones and options ("--name VALUE", "--name=VALUE" or
// a flag "--name").
struct ParsedArguments
{
    std::vector<std::string> positional;
    std::map<std::string, std::string, std::less<>> values;
    std::set<std::string, std::less<>> flags;

    std::optional<std::string> value(std::string_view name) const;
    bool flag(std::string_view name) const { return flags.contains(name); }
};

// The argument as text. Raises CommandError when its bytes are not valid UTF-8, the system's
// file-name encoding: any conversion would name a file the user never named.
QString ArgumentText(const std::string& argument);

// For ParseArguments: any number of positional arguments.
inline constexpr size_t AnyCount = size_t(-1);

// Raises CommandError for an unknown option, an option without its value, or a number of
// positional arguments other than positionalCount (unless it is AnyCount).
ParsedArguments ParseArguments(const CommandArguments& args,
                               size_t positionalCount,
                               std::initializer_list<std::string_view> valueOptions,
                               std::initializer_list<std::string_view> flagOptions = {});

// "--eol crlf|lf": true for LF line ends; without the option, the configuration's choice (lfDefault).
// Raises CommandError for any other value.
bool LfLineEnds(const ParsedArguments& args, bool lfDefault);

} // namespace zp::cli
