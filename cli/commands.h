#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace zp {
enum class ReportFormat;
}

namespace zp::cli {

// Options given before the command name.
struct GlobalOptions
{
    std::string home; // --home DIR (also exported as ZENPATCH_HOME)
    bool yes = false; // --yes: answer message-box questions with Yes
};

enum ExitStatus : int {
    exitSuccess = 0,
    exitFailed = 1, // the job ran, but a mod or file failed, or the user declined it
    exitError = 2, // bad usage, or an error stopped the job
};

// Bad usage or an error that stopped the job: main prints "zenpatch-cli: <message>" on stderr and
// exits with status 2.
class CommandError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

using CommandArguments = std::vector<std::string>;
using CommandRun = int (*)(const GlobalOptions& options, const CommandArguments& args);

struct Command
{
    const char* name;
    const char* synopsis; // the arguments, as shown by --help
    CommandRun run;
};

// encoder_commands.cpp
int RunEncodeCommand(const GlobalOptions& options, const CommandArguments& args);
int RunDecodeCommand(const GlobalOptions& options, const CommandArguments& args);
int RunCompressCommand(const GlobalOptions& options, const CommandArguments& args);
int RunExpandCommand(const GlobalOptions& options, const CommandArguments& args);

// database_commands.cpp
int RunInitDbCommand(const GlobalOptions& options, const CommandArguments& args);
int RunConfigCommand(const GlobalOptions& options, const CommandArguments& args);
int RunListCommand(const GlobalOptions& options, const CommandArguments& args);
int RunShowCommand(const GlobalOptions& options, const CommandArguments& args);
int RunDeleteCommand(const GlobalOptions& options, const CommandArguments& args);

// update_commands.cpp
int RunCheckUpdatesCommand(const GlobalOptions& options, const CommandArguments& args);

// install_commands.cpp
int RunAnalyzeCommand(const GlobalOptions& options, const CommandArguments& args);
int RunInstallCommand(const GlobalOptions& options, const CommandArguments& args);
int RunDiffCommand(const GlobalOptions& options, const CommandArguments& args);

// boardcheck_commands.cpp
struct ParsedArguments;
// The report format of "--format text|tsv|html" (text when not given); CommandError for another.
ReportFormat FormatOf(const ParsedArguments& args);
int RunCheckUpgradeCommand(const GlobalOptions& options, const CommandArguments& args);
int RunConflictsCommand(const GlobalOptions& options, const CommandArguments& args);
int RunPortCommand(const GlobalOptions& options, const CommandArguments& args);

// interchange_commands.cpp
int RunExportCommand(const GlobalOptions& options, const CommandArguments& args);
int RunImportCommand(const GlobalOptions& options, const CommandArguments& args);
int RunExportTextCommand(const GlobalOptions& options, const CommandArguments& args);

// authoring_commands.cpp
int RunRecordCommand(const GlobalOptions& options, const CommandArguments& args);
int RunImportTextCommand(const GlobalOptions& options, const CommandArguments& args);

// revert_commands.cpp
int RunBackupsCommand(const GlobalOptions& options, const CommandArguments& args);
int RunRevertCommand(const GlobalOptions& options, const CommandArguments& args);

// publish_commands.cpp
int RunServersCommand(const GlobalOptions& options, const CommandArguments& args);
int RunPublishCommand(const GlobalOptions& options, const CommandArguments& args);
int RunRevertPublishCommand(const GlobalOptions& options, const CommandArguments& args);

} // namespace zp::cli
