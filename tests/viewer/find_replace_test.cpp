#include "viewer/find_replace.h"

#include <gtest/gtest.h>

namespace zp {
namespace {

using Outcome = FindReplace::Outcome;
constexpr SearchOptions AnyCase {};
constexpr SearchOptions MatchCase {.matchCase = true};
constexpr SearchOptions WholeWord {.wholeWord = true};

TEST(FindText, HonoursStartCaseAndWordOptions)
{
    EXPECT_EQ(FindText("abc abc", "abc", 0, AnyCase), 0); // a match at the very first character
    EXPECT_EQ(FindText("abc abc", "abc", 1, AnyCase), 4);
    EXPECT_EQ(FindText("ABC abc", "abc", 0, MatchCase), 4);
    EXPECT_EQ(FindText("ABC", "abc", 0, MatchCase), -1);
    EXPECT_EQ(FindText("ÄRGER", "ärger", 0, AnyCase), 0);
    EXPECT_EQ(FindText("cabin cab_ cab", "cab", 0, WholeWord), 11);
    EXPECT_EQ(FindText("(cab)", "cab", 0, WholeWord), 1);
    EXPECT_EQ(FindText("cab\ncab", "cab", 1, WholeWord), 4);
}

TEST(FindText, EmptySearchOrStartPastTheEndNeverMatches)
{
    EXPECT_EQ(FindText("abc", "", 0, AnyCase), -1);
    EXPECT_EQ(FindText("abc", "c", 4, AnyCase), -1);
    EXPECT_EQ(FindText("abc", "c", 3, AnyCase), -1);
}

TEST(FindReplace, FindNextPastTheLastMatchFailsThenStartsOver)
{
    FindReplace fr("x.x.x");
    ASSERT_EQ(fr.Find("x", AnyCase), Outcome::Found);
    EXPECT_EQ(fr.FindNext("x", AnyCase), Outcome::Found);
    EXPECT_EQ(fr.FindNext("x", AnyCase), Outcome::Found);
    EXPECT_EQ(fr.LastFoundPosition(), 4);

    EXPECT_EQ(fr.FindNext("x", AnyCase), Outcome::NotFound);
    EXPECT_EQ(fr.LastFoundPosition(), -1);
    EXPECT_FALSE(fr.ReplaceEnabled());
    EXPECT_EQ(fr.SelStart(), 4); // the failed search leaves the selection alone

    // Searching again finds, but only a successful Find enables replacing again.
    EXPECT_EQ(fr.FindNext("x", AnyCase), Outcome::Found);
    EXPECT_EQ(fr.LastFoundPosition(), 0);
    EXPECT_FALSE(fr.ReplaceEnabled());
    EXPECT_EQ(fr.Find("x", AnyCase), Outcome::Found);
    EXPECT_TRUE(fr.ReplaceEnabled());
}

TEST(FindReplace, ReplaceSwapsTheSelectionAndMovesToTheNextMatch)
{
    FindReplace fr("cat and cat");
    ASSERT_EQ(fr.Find("cat", AnyCase), Outcome::Found);
    EXPECT_EQ(fr.Replace("cat", "dog", AnyCase), Outcome::Found);
    EXPECT_EQ(fr.Text(), "dog and cat");
    EXPECT_EQ(fr.LastFoundPosition(), 8);
    EXPECT_EQ(fr.Replace("cat", "dog", AnyCase), Outcome::NotFound);
    EXPECT_EQ(fr.Text(), "dog and dog");
    EXPECT_FALSE(fr.ReplaceEnabled());
}

TEST(FindReplace, ReplaceNeverFindsItsOwnReplacement)
{
    FindReplace grow("a b");
    ASSERT_EQ(grow.Find("a", AnyCase), Outcome::Found);
    EXPECT_EQ(grow.Replace("a", "ba", AnyCase), Outcome::NotFound);
    EXPECT_EQ(grow.Text(), "ba b");

    // Deleting resumes right at the deletion, so a directly following match is not skipped.
    FindReplace shrink("aaa");
    ASSERT_EQ(shrink.Find("a", AnyCase), Outcome::Found);
    EXPECT_EQ(shrink.Replace("a", "", AnyCase), Outcome::Found);
    EXPECT_EQ(shrink.Replace("a", "", AnyCase), Outcome::Found);
    EXPECT_EQ(shrink.Replace("a", "", AnyCase), Outcome::NotFound);
    EXPECT_EQ(shrink.Text(), "");
}

TEST(FindReplace, ReplaceAllAfterFindReplacesEveryMatch)
{
    FindReplace fr("Foo bar foo baz FOO");
    ASSERT_EQ(fr.Find("foo", AnyCase), Outcome::Found);
    EXPECT_EQ(fr.ReplaceAll("foo", "qux", AnyCase), Outcome::DoneReplacing);
    EXPECT_EQ(fr.Text(), "qux bar qux baz qux");
    EXPECT_FALSE(fr.ReplaceEnabled());
    EXPECT_EQ(fr.LastFoundPosition(), -1);
    EXPECT_EQ(fr.SelStart(), 19);
}

TEST(FindReplace, ReplaceAllEndsWhenTheReplacementHoldsTheSearchText)
{
    FindReplace fr("a a a");
    ASSERT_EQ(fr.Find("a", AnyCase), Outcome::Found);
    EXPECT_EQ(fr.ReplaceAll("a", "aa", AnyCase), Outcome::DoneReplacing);
    EXPECT_EQ(fr.Text(), "aa aa aa");

    FindReplace empty("aaa");
    ASSERT_EQ(empty.Find("a", AnyCase), Outcome::Found);
    empty.ReplaceAll("a", "", AnyCase);
    EXPECT_EQ(empty.Text(), "");
}

TEST(FindReplace, ReplaceAllJudgesWordsAgainstTheReplacedText)
{
    // After "-" becomes "x" the next "-" follows a letter, so it is no longer a whole word.
    FindReplace fr("-- -");
    ASSERT_EQ(fr.Find("-", WholeWord), Outcome::Found);
    fr.ReplaceAll("-", "x", WholeWord);
    EXPECT_EQ(fr.Text(), "x- x");
}

} // namespace
} // namespace zp
