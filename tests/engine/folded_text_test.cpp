#include "engine/folded_text.h"

#include <QRandomGenerator>
#include <QStringList>
#include <algorithm>
#include <gtest/gtest.h>

namespace zp {
namespace {

// Random texts of Latin-1, Greek, Cyrillic, Turkish dotted and dotless i, German sharp s, emoji and
// a script whose letters lie beyond the 16-bit range; needles cut from them at any unit (halves of
// surrogate pairs too) with their letter case changed. The folded search finds what QString::indexOf
// with Qt::CaseInsensitive finds, from any start, in texts short and long, also after edits (which
// leave the text in pieces that the search has to read across), one at a time or many at once.
TEST(FoldedSearchTest, FindsWhatQtFindsCaseInsensitively)
{
    const QStringList letters
        = QString::fromUtf8(
              "a A z Z k K ſ µ ÿ Ÿ é É ß ẞ ı I i İ ş Ş Σ σ ς ϐ Β ω Ω Ж ж Ё ё ᏸ Ᏸ "
              "😀 🙂 𐐀 𐐨 𐓘 \r \n \t -")
              .split(u' ');
    QRandomGenerator random(20240611);
    const auto pick = [&](qsizetype size) {
        QString text;
        while (text.size() < size)
            text += letters[random.bounded(int(letters.size()))];
        return text;
    };
    // A needle cut from the text, often across the place of the last edit (where the gap is).
    const auto needleFrom = [&](const QString& text, qsizetype edited) {
        if (text.isEmpty())
            return QStringLiteral("a");
        const qsizetype start = random.bounded(2) ? std::max<qsizetype>(0, edited - random.bounded(12))
                                                  : random.bounded(int(text.size()));
        QString needle = text.mid(std::min(start, text.size() - 1), 1 + random.bounded(12));
        switch (random.bounded(4)) {
        case 0:
            return needle.toUpper();
        case 1:
            return needle.toLower();
        case 2:
            for (QChar& c : needle)
                c = random.bounded(2) ? c.toUpper() : c.toLower();
            return needle;
        default:
            return needle;
        }
    };

    for (int round = 0; round < 300; ++round) {
        QString text = pick(random.bounded(2) ? 1 + random.bounded(40) : 500 + random.bounded(800));
        FoldedText folded(text);
        qsizetype edited = 0;
        // Now and then a long run of edits, which leaves the text in hundreds of pieces.
        const int edits = round % 20 == 0 ? 400 : 6;
        for (int edit = 0; edit < edits; ++edit) {
            for (int probe = 0; probe < (edits > 6 ? 2 : 30); ++probe) {
                const QString needle = needleFrom(text, edited);
                const qsizetype from = random.bounded(int(text.size()) + 1);
                ASSERT_EQ(FoldedSearch(needle).IndexIn(folded, from), text.indexOf(needle, from, Qt::CaseInsensitive))
                    << qPrintable(needle) << " from " << from << " in " << qPrintable(text);
            }
            const QString with = pick(random.bounded(random.bounded(8) ? 6 : 600));
            if (random.bounded(4) == 0) {
                // Ranges all over the text, a few (one at a time) or many (in one pass).
                FoldedText::Ranges ranges;
                const int most = random.bounded(2) ? 4 : 40;
                for (qsizetype at = random.bounded(8); at < text.size() && int(ranges.size()) < most;) {
                    const qsizetype length = random.bounded(int(std::min<qsizetype>(text.size() - at, 3)) + 1);
                    ranges.emplace_back(at, length);
                    at += length + random.bounded(1 + int(text.size()) / most);
                }
                for (auto range = ranges.rbegin(); range != ranges.rend(); ++range)
                    text.replace(range->first, range->second, with);
                folded.ReplaceEach(ranges, with);
                edited = ranges.empty() ? 0 : ranges.front().first;
            } else {
                edited = random.bounded(int(text.size()) + 1);
                const qsizetype length = random.bounded(int(std::min<qsizetype>(text.size() - edited, 20)) + 1);
                text.replace(edited, length, with);
                folded.Replace(edited, length, with);
            }
            ASSERT_EQ(folded.size(), text.size());
        }
        ASSERT_EQ(folded.Text(), text);
    }
}

// A text of 300,000 units edited from the top down in runs, as a long installation edits a large
// file, and searched from the top again and again: the searches soon go by the index of the stores
// they read, and the pieces are joined now and then. Every search, also one bounded at both ends, finds what Qt finds.
TEST(FoldedSearchTest, ManySearchesOfALargeEditedTextFindWhatQtFinds)
{
    QRandomGenerator random(20261211);
    const QStringList words = QString::fromUtf8("print Value ß STRASSE Σίσυφος end } $in{'x'} 😀").split(u' ');
    const auto pick = [&](int count) {
        QString text;
        for (int i = 0; i < count; ++i)
            text += words[random.bounded(int(words.size()))] + QString::number(random.bounded(5000))
                + (random.bounded(4) ? u' ' : u'\n');
        return text;
    };
    QString text = pick(30000);
    FoldedText folded(text);
    for (int round = 0; round < 12; ++round) {
        qsizetype at = random.bounded(int(text.size()) / 2);
        for (int edit = 0; edit < 150; ++edit) {
            at = std::min(text.size(), at + random.bounded(2000));
            const qsizetype length = std::min<qsizetype>(text.size() - at, random.bounded(30));
            const QString with = pick(random.bounded(20) ? random.bounded(4) : 600);
            text.replace(at, length, with);
            folded.Replace(at, length, with);
        }
        for (int probe = 0; probe < 120; ++probe) {
            const qsizetype start = random.bounded(int(text.size()));
            QString needle = text.mid(start, 1 + random.bounded(40));
            needle = random.bounded(2) ? needle.toUpper() : needle;
            const qsizetype from = random.bounded(4) ? 0 : random.bounded(int(text.size()));
            const qsizetype until = random.bounded(2) ? text.size() : start + random.bounded(80);
            const qsizetype first = text.indexOf(needle, from, Qt::CaseInsensitive);
            const qsizetype expected = first >= 0 && first + needle.size() <= until ? first : -1;
            ASSERT_EQ(FoldedSearch(needle).IndexIn(folded, from, until), expected)
                << qPrintable(needle) << " from " << from << " until " << until;
        }
    }
    ASSERT_EQ(folded.Text(), text);
}

// An edit between the halves of a pair changes how the units around it fold; a store's index of
// its runs must follow, or a search misses what is there now.
TEST(FoldedSearchTest, SplittingAPairInAnIndexedTextIsFoundAsItNowFolds)
{
    const QString pair = QString::fromUtf8("\xF0\x90\x90\x80"); // DESERET CAPITAL LONG I, folds to its small letter
    QString text;
    for (int i = 0; i < 2000; ++i)
        text += QStringLiteral("line %1 ").arg(i) + pair + QStringLiteral("abc\n");
    FoldedText folded(text);
    const FoldedSearch absent(QStringLiteral("zzzz"));
    for (int i = 0; i < 80; ++i) // reads enough of the text for its store to be indexed
        ASSERT_EQ(absent.IndexIn(folded, 0, folded.size()), -1);
    const qsizetype low = text.indexOf(pair) + 1;
    text.insert(low, u'x');
    folded.Replace(low, 0, u"x");
    const QString needle = text.mid(low + 1, 4); // the lone low half and "abc"
    EXPECT_EQ(FoldedSearch(needle).IndexIn(folded, 0, folded.size()), text.indexOf(needle, 0, Qt::CaseInsensitive));
}

} // namespace
} // namespace zp
