#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace zp {

class TrialInstallation;

// The unified diff of one file, as `patch -p1` takes it: "--- a/<path>" and "+++ b/<path>" (a
// side that does not exist is "/dev/null"), then hunks with three lines of context and no time
// stamps. Lines are compared byte for byte, each with its LF; a CR before it is part of the line,
// so CR LF and LF files come back exactly, and a last line without LF is followed by
// "\ No newline at end of file". A side holding a NUL byte is not text: the diff is git's single
// line "Binary files a/<path> and b/<path> differ". A name with a control character, a quote or a
// backslash is quoted C-style, one with a blank is followed by a TAB. A new empty file has no hunk
// to make it: git's "diff --git" header with "new file mode 100644" does. Empty when the bytes are
// equal.
QByteArray UnifiedDiff(const QString& path, const std::optional<QByteArray>& before, const QByteArray& after);

// The diff of every file a trial changed or made, in the order an installation writes them, the
// new empty files last (a git header must not be followed by a plain file's "---" line).
// Throws std::runtime_error when a file cannot be read.
QByteArray TrialDiff(const TrialInstallation& trial);

} // namespace zp
