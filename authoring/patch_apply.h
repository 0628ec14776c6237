#pragma once

#include "authoring/recording.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>
#include <vector>

namespace zp {

// One hunk of a unified diff: where it goes and which part of its file's texts holds the lines it
// expects and the lines it leaves.
struct PatchHunk
{
    int oldStart = 0; // 1-based; with no old lines, the line after which the new ones go
    int lineNumber = 0; // where the hunk's "@@" line is in the patch
    int oldCount = 0; // how many lines it expects
    // Where its lines are in FilePatch::oldText and newText; ints, since a patch is at most kMaxPatchBytes
    // and a patch of small hunks has many of them.
    int oldFrom = 0, oldSize = 0;
    int newFrom = 0, newSize = 0;
};

// What a unified diff does to one file. The path is below the board root: the first element of
// the diff's path ("a/", "b/", or the folder `diff -ruN` was given) is dropped.
struct FilePatch
{
    QString path;
    bool deleted = false; // the new side is /dev/null, or git says "deleted file mode"
    QString reason; // set when the patch cannot be applied to it (a binary diff, a rename, a name not UTF-8)
    std::vector<PatchHunk> hunks;
    // The lines the hunks expect and leave, one after the other, each line with its LF (a line
    // followed by "\ No newline at end of file" without it): one buffer each for all the hunks.
    QByteArray oldText, newText;

    QByteArrayView Old(const PatchHunk& hunk) const
    {
        return QByteArrayView(oldText).sliced(hunk.oldFrom, hunk.oldSize);
    }
    QByteArrayView New(const PatchHunk& hunk) const
    {
        return QByteArrayView(newText).sliced(hunk.newFrom, hunk.newSize);
    }
};

// The largest patch RecordPatch reads.
inline constexpr qint64 kMaxPatchBytes = qint64(64) << 20;

// The files of a unified diff as `diff -ruN`, `git diff` and `zenpatch-cli diff` write it.
// Throws std::runtime_error naming the line of the patch that cannot be read.
std::vector<FilePatch> ParseUnifiedDiff(const QByteArray& patch);

// Applies the hunks exactly (no fuzz, no offset) to the bytes (none: the file does not exist,
// read as empty). The bytes afterwards; nothing, with the reason, when a hunk does not apply.
std::optional<QByteArray>
ApplyFilePatch(const FilePatch& patch, const std::optional<QByteArray>& bytes, QString& reason);

// Applies the diff to private copies of the files it names (below the program folder's
// zpk_rec_temp, removed afterwards), then records them as Record does. Throws std::runtime_error
// when the patch cannot be read: not a regular file, larger than kMaxPatchBytes, not a diff.
RecordResult RecordPatch(AppState& state, const RecordRequest& request, const QString& patchFile);

} // namespace zp
