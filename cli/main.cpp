// zenpatch-cli [--home DIR] [--yes] COMMAND [ARGS...]
#include "app/job_lock.h"
#include "cli/arguments.h"
#include "cli/commands.h"
#include "database/text_limit.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string_view>

namespace zp::cli {

namespace {

// One line per command; each subsystem adds its own.
const Command kCommands[] = {
    {"encode", "IN OUT [--encoding base64|uuencode|quoted]", RunEncodeCommand},
    {"decode", "IN OUT [--encoding base64|uuencode|quoted]", RunDecodeCommand},
    {"compress", "IN OUT", RunCompressCommand},
    {"expand", "IN OUT", RunExpandCommand},
    {"init-db", "[PATH]", RunInitDbCommand},
    {"config", "show | set KEY VALUE [KEY VALUE ...]", RunConfigCommand},
    {"list", "[--filter WORDS]", RunListCommand},
    {"show", "HACK", RunShowCommand},
    {"delete", "HACK", RunDeleteCommand},
    {"analyze", "HACK", RunAnalyzeCommand},
    {"install",
     "HACK [HACK ...] [--order given|safe] [--search-output] [--delete-output] [--overwrite-source] [--eol crlf|lf]",
     RunInstallCommand},
    {"diff", "HACK [--eol crlf|lf] [--search-output] [--output FILE]", RunDiffCommand},
    {"export", "HACK --folder DIR --name NAME [--make-folder]", RunExportCommand},
    {"import", "FILE [--replace]", RunImportCommand},
    {"check-upgrade", "[--source DIR] [--against DIR] [HACK ...] [--format text|tsv|html]", RunCheckUpgradeCommand},
    {"conflicts", "[HACK ...] [--format text|tsv|html]", RunConflictsCommand},
    {"port",
     "[HACK ...] --to DIR [--from DIR] [--store] [--label TEXT] [--partial] [--format text|tsv|html]",
     RunPortCommand},
    {"check-updates", "[HACK ...] [--format text|tsv|html]", RunCheckUpdatesCommand},
    {"export-text", "HACK --folder DIR --name NAME", RunExportTextCommand},
    {"backups", "[HACK]", RunBackupsCommand},
    {"record",
     "--name NAME (--edited DIR | --patch FILE) [--original DIR] [--type ubb|vbulletin] [--eol crlf|lf] [--partial]",
     RunRecordCommand},
    {"import-text",
     "FILE [--name NAME] [--original DIR] [--type ubb|vbulletin] [--eol crlf|lf] [--partial]",
     RunImportTextCommand},
    {"revert", "HACK [--backup NAME] [--dry-run] [--force]", RunRevertCommand},
    {"servers",
     "list | add NAME --host H [--port P] --user U --folder DIR [--key FILE | --agent | --password] "
     "[--mode LOCATION=MODE,...] | remove NAME",
     RunServersCommand},
    {"publish", "HACK --server NAME [--dry-run] [--force] [--accept-host-key SHA256:...]", RunPublishCommand},
    {"revert-publish",
     "HACK --server NAME [--backup NAME] [--dry-run] [--accept-host-key SHA256:...]",
     RunRevertPublishCommand},
};

void printHelp()
{
    std::printf("Usage: zenpatch-cli [--home DIR] [--yes] COMMAND [ARGUMENTS]\n"
                "       zenpatch-cli --help | --version\n\n"
                "  --home DIR   the program folder (holding zpatch.zpd); overrides ZENPATCH_HOME\n"
                "  --yes        answer Yes to the questions a job asks (default: their default answer)\n\n"
                "Commands:\n");
    for (const Command& command : kCommands)
        std::printf("  %s %s\n", command.name, command.synopsis);
    std::printf("\nExit status: 0 success, 1 the job ran but a mod or file failed (or was declined), 2 bad usage "
                "or an error stopped the job.\n");
}

const Command* findCommand(std::string_view name)
{
    for (const Command& command : kCommands) {
        if (name == command.name)
            return &command;
    }
    return nullptr;
}

int run(int argc, char** argv)
{
    GlobalOptions options;
    int i = 1;
    for (; i < argc && std::string_view(argv[i]).starts_with("-"); ++i) {
        std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            printHelp();
            return exitSuccess;
        }
        if (arg == "--version") {
            std::printf("zenpatch-cli %s\n", ZENPATCH_VERSION);
            return exitSuccess;
        }
        if (arg == "--yes") {
            options.yes = true;
        } else if (arg == "--home" && i + 1 < argc) {
            options.home = argv[++i];
        } else if (arg.starts_with("--home=")) {
            options.home = arg.substr(7);
        } else {
            throw CommandError("unknown option " + std::string(arg) + " (try --help)");
        }
    }
    if (i == argc)
        throw CommandError("no command given (try --help)");
    const Command* command = findCommand(argv[i]);
    if (!command)
        throw CommandError("unknown command " + std::string(argv[i]) + " (try --help)");
    // The program folder's name is used as text: bytes that are not UTF-8 would name another folder.
    if (!options.home.empty()) {
        ArgumentText(options.home);
        setenv("ZENPATCH_HOME", options.home.c_str(), 1);
    } else if (const char* home = std::getenv("ZENPATCH_HOME")) {
        ArgumentText(home);
    }
    // A command ends when its job is done; the old files its job replaced go in a process of their own.
    RemoveJobFoldersAfterExit();
    return command->run(options, CommandArguments(argv + i + 1, argv + argc));
}

} // namespace

} // namespace zp::cli

int main(int argc, char** argv)
{
    try {
        return zp::cli::run(argc, argv);
    } catch (const zp::cli::CommandError& e) {
        std::fprintf(stderr, "zenpatch-cli: %s\n", e.what());
    } catch (const zp::TextTooLongError& e) {
        std::fprintf(stderr, "zenpatch-cli: %s\n", e.what());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zenpatch-cli: unexpected error: %s\n", e.what());
    }
    return zp::cli::exitError;
}
