#include "viewer/find_replace.h"

#include <algorithm>

namespace zp {

namespace {

bool IsWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

Qt::CaseSensitivity Sensitivity(SearchOptions options)
{
    return options.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
}

// Whether a match of `length` characters at `pos` stands alone as a word; `before` is the
// character in front of it (null at the start of the text).
bool IsWholeWord(const QString& text, qsizetype pos, qsizetype length, QChar before)
{
    const qsizetype end = pos + length;
    const bool startsWord = before.isNull() || !IsWordChar(before);
    const bool endsWord = end >= text.size() || !IsWordChar(text.at(end));
    return startsWord && endsWord;
}

// FindText with the character in front of each candidate supplied by `before`, so that Replace All
// can judge word boundaries against the text as it stands after the replacements made so far.
template <typename Before>
qsizetype FindWith(const QString& text, const QString& what, qsizetype from, SearchOptions options, Before before)
{
    if (what.isEmpty() || from < 0 || from > text.size())
        return -1;
    for (qsizetype pos = text.indexOf(what, from, Sensitivity(options)); pos >= 0;
         pos = text.indexOf(what, pos + 1, Sensitivity(options))) {
        if (!options.wholeWord || IsWholeWord(text, pos, what.size(), before(pos)))
            return pos;
    }
    return -1;
}

} // namespace

qsizetype FindText(const QString& text, const QString& what, qsizetype from, SearchOptions options)
{
    return FindWith(text, what, from, options, [&](qsizetype pos) { return pos > 0 ? text.at(pos - 1) : QChar(); });
}

FindReplace::FindReplace(QString text)
    : text_(std::move(text))
{
}

void FindReplace::SetText(QString text)
{
    text_ = std::move(text);
    Select(selStart_, selLength_);
}

void FindReplace::Select(qsizetype start, qsizetype length)
{
    selStart_ = std::clamp<qsizetype>(start, 0, text_.size());
    selLength_ = std::clamp<qsizetype>(length, 0, text_.size() - selStart_);
}

FindReplace::Outcome FindReplace::Find(const QString& what, SearchOptions options)
{
    lastFoundPosition_ = 0;
    const Outcome outcome = SearchFrom(0, what, options);
    // Only a successful Find enables the replace commands; Find Next and Replace keep them as
    // they are, so after a failed search they stay disabled until the next Find.
    replaceEnabled_ = outcome == Outcome::Found;
    return outcome;
}

FindReplace::Outcome FindReplace::FindNext(const QString& what, SearchOptions options)
{
    return SearchFrom(lastFoundPosition_ + 1, what, options);
}

FindReplace::Outcome FindReplace::Replace(const QString& what, const QString& replacement, SearchOptions options)
{
    return SearchFrom(ReplaceSelection(replacement), what, options);
}

FindReplace::Outcome FindReplace::ReplaceAll(const QString& what, const QString& replacement, SearchOptions options)
{
    // Built in one pass over the old text: each search resumes in the old text after the part
    // already replaced, which is the same as resuming after the inserted text in the new one.
    QString result = text_.left(selStart_) + replacement;
    qsizetype copied = selStart_ + selLength_;
    auto before = [&](qsizetype pos) {
        if (pos > copied)
            return text_.at(pos - 1);
        return result.isEmpty() ? QChar() : result.back();
    };
    for (qsizetype pos = FindWith(text_, what, copied, options, before); pos >= 0;
         pos = FindWith(text_, what, copied, options, before)) {
        result += QStringView(text_).mid(copied, pos - copied);
        result += replacement;
        copied = pos + what.size();
    }
    const qsizetype caret = result.size();
    result += QStringView(text_).mid(copied);
    text_ = std::move(result);
    selStart_ = caret;
    selLength_ = 0;
    lastFoundPosition_ = -1;
    replaceEnabled_ = false;
    return Outcome::DoneReplacing;
}

FindReplace::Outcome FindReplace::SearchFrom(qsizetype from, const QString& what, SearchOptions options)
{
    lastFoundPosition_ = FindText(text_, what, from, options);
    if (lastFoundPosition_ < 0) {
        replaceEnabled_ = false;
        return Outcome::NotFound;
    }
    Select(lastFoundPosition_, what.size());
    return Outcome::Found;
}

qsizetype FindReplace::ReplaceSelection(const QString& replacement)
{
    text_.replace(selStart_, selLength_, replacement);
    const qsizetype end = selStart_ + replacement.size();
    selStart_ = end;
    selLength_ = 0;
    return end;
}

} // namespace zp
