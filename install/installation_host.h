#pragma once

#include <QString>

namespace zp {

// What the installation asks its caller while it runs: the options (read each time they are
// needed, so a change made during the run applies to the files loaded afterwards) and a place for
// the notes of the run. The window answers from its controls, the command line from its flags.
class InstallationHost
{
public:
    virtual ~InstallationHost() = default;
    virtual bool SearchOutputFirst() const = 0; // "Search Output Directory First?"
    virtual bool DeleteOutputFirst() const = 0; // "Delete Output Directory Before Starting?"
    virtual bool OverwriteSource() const = 0; // "Overwrite Source Files(Be Careful!)?"
    virtual bool LfLineEnds() const = 0; // end of line terminator "LF" rather than "CR/LF"
    virtual void AppendInstructionLine(const QString& text) = 0;
    // Where the source files an overwrite replaces are kept: the folder NewBackupFolder named when the
    // user was asked, or empty for a new one named when the backup is made.
    virtual QString SourceBackupFolder() const { return QString(); }
    // How many of the hack's mods are done: before each mod and once after the last.
    virtual void ModsDone(int /*done*/, int /*total*/) { }
};

} // namespace zp
