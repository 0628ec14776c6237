#pragma once

#include <QString>

namespace zp {

struct AppState;
class Dialogs;

// The folder text without one trailing separator (the root folder "/" stays as it is).
QString WithoutTrailingSeparator(QString folder);

// The messages that the export windows share.
void ShowMissingExportName(Dialogs& dialogs);
void ShowMissingExportPath(Dialogs& dialogs);
void ShowCannotCreateExportFolder(Dialogs& dialogs);
void ShowExportFolderMissing(Dialogs& dialogs);
void ShowExportFolderNotEmpty(Dialogs& dialogs, const QString& folder);
// "There was an error writing the file.", followed by the reason when one is known.
void ShowExportWriteError(Dialogs& dialogs, const QString& reason);
void ShowSupportFolderError(Dialogs& dialogs);
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
// A stored sub-path (ExtendDir, CustomDir) that stays below its root: no ".." component.
bool IsConfinedSubPath(const QString& subPath);

} // namespace zp
