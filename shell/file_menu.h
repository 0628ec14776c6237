#pragma once

#include "app/dialogs.h"

#include <QString>
#include <QUrl>
#include <functional>

namespace zp {

struct AppState;

// Backup Database: after the user confirms, closes the child windows and the database, asks where
// to save a byte copy of zpatch.zpd ("zpatch.bak" proposed in the program folder) and writes it
// under the job lock.
// Whatever happens after the windows have closed (copy made, dialog cancelled, copy failed), restart
// runs the main window's load again. Answering No, or a window that does not close
// (closeChildWindows false), changes nothing.
void BackupDatabase(AppState& state,
                    const std::function<bool()>& closeChildWindows,
                    const std::function<void()>& restart);

// The exit compaction: with the database closed, compacts zpatch.zpd in place under the job lock.
// A failure is reported ("Compact Database") and leaves the file as it was.
void CompactDatabase(AppState& state);

// Copies a file byte for byte through a temporary file beside the target, so that a failed copy
// leaves an existing target as it was. Refuses to copy a file onto itself. Returns success.
bool CopyFileReplacing(const QString& source, const QString& target);

// The open dialog of "Open Text File": it starts in the first board location of the current
// board type below the source directory.
FileDialogOptions TextFileDialogOptions(const AppState& state);

// A read-only resource of the program (documentation): beside the executable in the build tree,
// or in <prefix>/share/zenpatch when installed. The first place is returned when neither has it.
QString ResourcePath(const QString& executableDir, const QString& name);

// Opens a file of the manual through `open` (the desktop's opener, which answers whether it could).
// When the desktop cannot, says so naming the file and offers the manual as a web page in the
// browser (zenpatch.html beside it) or the folder that holds it.
void OpenManual(Dialogs& dialogs, const QString& file, const std::function<bool(const QUrl&)>& open);

} // namespace zp
