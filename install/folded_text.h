#pragma once

#include <QString>
#include <QStringView>

namespace zp {

// A text with a case-folded twin of the same length beside it, so that a case-insensitive search
// becomes a case-sensitive search of the twin at the same offsets. Each UTF-16 unit folds on its
// own by Qt's simple case folding; a surrogate pair folds as the character it encodes and stays a
// pair. The twin is folded once and kept up to date through Replace.
class FoldedText
{
public:
    FoldedText() = default;
    explicit FoldedText(QString text);

    const QString& Text() const { return text_; }
    QStringView Folded() const { return folded_; }
    qsizetype size() const { return text_.size(); }

    // Replaces `length` units at `position` (both within the text) with `with`; only the new units
    // and their two neighbours are folded.
    void Replace(qsizetype position, qsizetype length, QStringView with);
    // Gives the text away and leaves both empty, so that a new text can be built without three
    // large strings alive at once.
    QString TakeText();

private:
    QString text_;
    QString folded_;
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
