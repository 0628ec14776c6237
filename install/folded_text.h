#pragma once

#include <QString>
#include <QStringView>

namespace zp {

// A text with a case-folded twin of the same length beside it, so that a case-insensitive search
// becomes a case-sensitive search of the twin at the same offsets. Each UTF-16 unit folds on its
// own by Qt's simple case folding; a surrogate pair folds as the character it encodes and stays a
// pair. The twin is folded once and kept up to date through Replace.
//
// Both are gap buffers: an edit moves the gap to its place and fills it, so a run of edits in one
// part of a large text moves only the units between them, not the whole rest of the text each
// time. Searches read across the gap; Text() closes it.
class FoldedText
{
public:
    FoldedText() = default;
    explicit FoldedText(QString text);

    const QString& Text() const;
    qsizetype size() const { return text_.size() - gap_; }

    // Replaces `length` units at `position` (both within the text) with `with`; only the new units
    // and their two neighbours are folded.
    void Replace(qsizetype position, qsizetype length, QStringView with);
    // Gives the text away and leaves both empty, so that a new text can be built without three
    // large strings alive at once.
    QString TakeText();

private:
    friend class FoldedSearch;
    // The first occurrence of an already folded needle at or after `from`, or -1.
    qsizetype FindFolded(QStringView needle, qsizetype from) const;
    QChar At(qsizetype i) const { return text_.at(i < gapAt_ ? i : i + gap_); }
    void MoveGapTo(qsizetype position);
    void CloseGap() const;

    // The text and its twin, each with the gap [gapAt_, gapAt_ + gap_) of unused units.
    mutable QString text_;
    mutable QString folded_;
    mutable qsizetype gapAt_ = 0;
    mutable qsizetype gap_ = 0;
};

// The case-insensitive search of one string: the offsets QString::indexOf with Qt::CaseInsensitive
// gives, found in a FoldedText's twin.
class FoldedSearch
{
public:
    explicit FoldedSearch(const QString& needle);

    // The first occurrence at or after `from`, or -1. An empty needle is never found.
    qsizetype IndexIn(const FoldedText& text, qsizetype from) const;
    qsizetype size() const { return needle_.size(); }

private:
    QString needle_;
    QString folded_;
};

} // namespace zp
