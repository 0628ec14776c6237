#pragma once

#include "app/dialogs.h"

#include <QString>
#include <optional>

namespace zp {

struct AppState;

// The folder text without one trailing separator (the root folder "/" stays as it is).
QString WithoutTrailingSeparator(QString folder);

// The export folder as typed: "~" or "~/..." stands for the home folder; one trailing separator goes.
QString ExportFolderText(const QString& typed);
// The refusal of an export folder that is not a full path, is a file, or lies where Zenpatch
// deletes files (the output folder, the exchange and work folders); nothing when the export may
// write there.
std::optional<UserMessage> ExportFolderRefusal(const AppState& state, const QString& folder);
// Creates the export folder when `make` is set and it is missing; the message that says why it is
// not there otherwise.
std::optional<UserMessage> PrepareExportFolder(const QString& folder, bool make);
// The folder the export windows propose, one that exists: the last one an export used
// (diagExportPath) while it is still there and acceptable, else the user's documents folder, else
// the home folder.
QString LoadExportFolder(AppState& state);

// The messages that the exports share.
extern const UserMessage MissingExportName;
extern const UserMessage MissingExportPath;
extern const UserMessage SupportFolderSkipped;
UserMessage ExportFolderNotEmpty(const QString& folder);
// "There was an error writing the file.", followed by the reason when one is known.
UserMessage ExportWriteError(const QString& reason);
// The question at the end of an export, and asking it: true for Yes.
inline constexpr const char* OpenOutputFolderQuestion = "Would you like to open the output folder now?";
bool AskOpenOutputFolder(Dialogs& dialogs);

// The folder beside the program through which hack files are built and taken apart.
QString ExchangeFolder(const AppState& state);
// Removes the exchange folder with everything in it and creates it empty. Throws std::runtime_error.
void ResetExchangeFolder(const QString& folder);

// Stores one text column of the configuration row (diagExportPath, diagImportPath) at once.
void SaveConfigText(AppState& state, const char* field, const QString& value);

// A name that can be used as one file inside a folder: no separator, not empty, "." or "..".
bool IsPlainFileName(const QString& name);
// A file name made from a hack's name: what a file name cannot hold (separators, control characters
// and the characters other systems refuse) becomes "_", and leading dots go.
QString ExportNameFor(const QString& hackName);
// Why a hack file cannot carry a support file of this name and sub-path (CustomDir), in words; empty
// when it can. The name must be a plain file name with a period in it; neither may hold '|', " - ",
// a line break or the key delimiter, which separate the entries of the hack description.
QString SupportFileProblem(const QString& name, const QString& customDir);
// A stored sub-path (ExtendDir, CustomDir) that stays below its root: no ".." component.
bool IsConfinedSubPath(const QString& subPath);

} // namespace zp
