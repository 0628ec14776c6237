#pragma once

#include "core/board_text.h"
#include "engine/folded_text.h"

#include <QString>

namespace zp {

// The plain-text buffer that holds one board file while mods are applied to it. Offsets count
// characters; every line break is CR LF. The selection operations are those a text control offers.
// A case-folded twin of the text is kept beside it for the engine's searches.
class WorkBuffer
{
public:
    const QString& Text() const { return text_.Text(); }
    const FoldedText& Searchable() const { return text_; }
    void SetText(QString text);
    // Replaces each range with the text (see FoldedText::ReplaceEach); the selection becomes empty,
    // at the start.
    void ReplaceEach(const FoldedText::Ranges& ranges, QStringView with);

    qsizetype SelStart() const { return selStart_; }
    qsizetype SelLength() const { return selLength_; }
    // A start past the end moves to the end; a length running past the end selects up to the end.
    void SetSelStart(qsizetype start);
    void SetSelLength(qsizetype length);
    // Replaces the selection: an empty selection inserts, an empty text deletes. The selection
    // becomes empty, just after the new text.
    void SetSelText(const QString& text);

    // Reads a board file (see DecodeBoardText). Throws std::runtime_error naming the failure.
    void LoadFile(const QString& path);
    // Writes the text in the encoding it was loaded in, with CR LF breaks or, with lfOnly, as
    // LF-terminated lines (ToLfLines). Replaces an existing file. With startWriteBack the file starts on
    // its way to the disk at once, for a caller that flushes it before putting it in place. Throws
    // std::runtime_error, after removing a file it could not write whole.
    void SaveFile(const QString& path, bool lfOnly, bool startWriteBack = false) const;

private:
    FoldedText text_;
    qsizetype selStart_ = 0;
    qsizetype selLength_ = 0;
    TextEncoding encoding_ = TextEncoding::Utf8;
    bool bom_ = false;
};

} // namespace zp
