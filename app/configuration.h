#pragma once

#include "app/job_lock.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace zp {

struct AppState;

// The values of the Options dialog, as its controls hold them.
struct OptionsValues
{
    QString SourceDir, OutputDir;
    QString ubbCGIDir, ubbNonCGIDir, ubbMembersDir, ubbVariablesDir, ubbTemplatesDir;
    QString vbRootDir, vbAdminDir, vbModDir, vbImagesDir, vbSmiliesDir, vbPollsDir, vbIconsDir, vbAttachDir;
    int cfgDefHackType = 0;
    int cfgModValidate = 1, cfgFileAssoc = 1, cfgSearchOutputDir = 0, cfgDelOutputDir = 1, cfgOverWriteSource = 0;
    int cfgEOL = 0;
    QString cfgAuthName, cfgAuthEmail, cfgAuthHomePage, cfgAuthUpdate, cfgAuthCopyright;
    QString cfgAuthComment, cfgPreComment, cfgPostComment;
};

// "It appears that Zenpatch is not configured, opening configuration window."
UserMessage NotConfiguredMessage();

// Reads the Options values from the configuration row (defaults for Null); nothing when no row.
std::optional<OptionsValues> LoadOptions(AppState& state);
// Validates; on refusal returns Refused with the message and writes nothing. Otherwise creates both
// folders, writes the row (Null for empty text), reloads the state's configuration and returns
// Saved, with "Source Directory Created" when the source folder had to be made (most likely the
// path was mistyped). A folder given as "~" or "~/..." is saved as the full path below the home folder.
enum class OptionsSave { Saved, Refused };
JobResult<OptionsSave> SaveOptions(AppState& state, const OptionsValues& values);
// The checks of a save alone: the message that refuses the source and output folders, if any
// (besides the four checks of the dialog: a relative path, an existing file, an output folder
// that would hold other data or overlap the program folder's own, see OutputFolderConflict).
std::optional<UserMessage> ValidateOptions(const QString& programFolder, const QString& source, const QString& output);

// A folder typed as "~" or "~/...": the full path below the home folder; any other text unchanged.
QString ExpandHomeFolder(const QString& folder);
// The refusal of a folder that is not given by its full path, or that is an existing file.
std::optional<UserMessage> CheckFolderForm(const QString& folder);

// The columns the Options dialog edits, in writing order, and their values as text (for the
// command line). SetOptionText returns false for an unknown column or a non-numeric integer.
QStringList OptionNames();
QString OptionText(const OptionsValues& values, const QString& name);
bool SetOptionText(OptionsValues& values, const QString& name, const QString& text);

} // namespace zp
