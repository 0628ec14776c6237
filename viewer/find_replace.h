#pragma once

#include <QString>

namespace zp {

// The two options of a search, read from the viewer's check boxes at each search.
struct SearchOptions
{
    bool matchCase = false; // chkCase
    bool wholeWord = false; // chkWord
};

// Position of the first match of `what` in `text` at or after `from`, or -1. An empty search text
// and a start beyond the end never match. A whole-word match has no letter, digit or underscore
// directly before or after it.
qsizetype FindText(const QString& text, const QString& what, qsizetype from, SearchOptions options);

// The find and replace state of the text viewer over its text: the selection, LastFoundPosition
// and whether the replace commands are enabled. The window mirrors the text and selection of its
// box into it before a command and shows the outcome afterwards.
class FindReplace
{
public:
    enum class Outcome {
        Found, // the match is selected
        NotFound, // "String not found"; replace commands disabled
        DoneReplacing // Replace All ended; replace commands disabled
    };

    explicit FindReplace(QString text = {});

    const QString& Text() const { return text_; }
    void SetText(QString text);

    qsizetype SelStart() const { return selStart_; }
    qsizetype SelLength() const { return selLength_; }
    // Clamped to the text.
    void Select(qsizetype start, qsizetype length);

    qsizetype LastFoundPosition() const { return lastFoundPosition_; }
    bool ReplaceEnabled() const { return replaceEnabled_; }

    // Searches from the first character; a match enables the replace commands.
    Outcome Find(const QString& what, SearchOptions options);
    // Searches from LastFoundPosition + 1 (so from the start again after a failed search). Like
    // Replace, it disables the replace commands when it finds nothing and never enables them.
    Outcome FindNext(const QString& what, SearchOptions options);
    // Replaces the selection, then searches on as FindNext does; when the replaced selection was
    // the last match the search resumes after the inserted text, so the replacement is never
    // found again inside itself.
    Outcome Replace(const QString& what, const QString& replacement, SearchOptions options);
    // Replaces the selection and every further match to the end of the text, each search resuming
    // after the text just inserted; always ends with DoneReplacing.
    Outcome ReplaceAll(const QString& what, const QString& replacement, SearchOptions options);

private:
    Outcome SearchFrom(qsizetype from, const QString& what, SearchOptions options);
    // Replaces the selection; returns where a following search resumes.
    qsizetype ReplaceSelection(const QString& replacement);

    QString text_;
    qsizetype selStart_ = 0;
    qsizetype selLength_ = 0;
    qsizetype lastFoundPosition_ = 0;
    bool replaceEnabled_ = false;
};

} // namespace zp
