#include "core/install_log.h"
#include "engine/modification_engine.h"
#include "engine/work_buffer.h"
#include "log_rows.h"

#include <gtest/gtest.h>

namespace zp {
namespace {

struct Outcome
{
    QString text;
    RecordingLog log;
};

Outcome Mod(const QString& text, int action, int inst, const QString& oldData, const QString& newData)
{
    WorkBuffer buffer;
    buffer.SetText(text);
    Outcome out;
    ApplyMod(buffer, ModRecord {action, inst, oldData, newData, "forum.cgi", "needs the hook"}, out.log);
    out.text = buffer.Text();
    return out;
}

QString Applied(const QString& text, int action, int inst, const QString& oldData, const QString& newData)
{
    return Mod(text, action, inst, oldData, newData).text;
}

TEST(ActionNameTest, NamesEveryCodeAndNothingElse)
{
    EXPECT_EQ(ActionName(0), "Add Before");
    EXPECT_EQ(ActionName(1), "Add After");
    EXPECT_EQ(ActionName(2), "Insert");
    EXPECT_EQ(ActionName(3), "Append");
    EXPECT_EQ(ActionName(4), "Replace");
    EXPECT_EQ(ActionName(5), "Delete");
    EXPECT_EQ(ActionName(6), "");
    EXPECT_EQ(ActionName(-1), "");
}

TEST(ApplyModTest, EachActionAtStartMiddleAndEnd)
{
    const QString text = "one\r\ntwo three\r\nfour";
    // Add Before: the new text on a line of its own in front of the old data.
    EXPECT_EQ(Applied(text, AddBefore, 1, "one", "X"), "X\r\none\r\ntwo three\r\nfour");
    EXPECT_EQ(Applied(text, AddBefore, 1, "three", "X"), "one\r\ntwo X\r\nthree\r\nfour");
    EXPECT_EQ(Applied(text, AddBefore, 1, "four", "X"), "one\r\ntwo three\r\nX\r\nfour");
    // Add After: CR LF then the new text right after the old data; the rest of the line follows.
    EXPECT_EQ(Applied(text, AddAfter, 1, "one", "X"), "one\r\nX\r\ntwo three\r\nfour");
    EXPECT_EQ(Applied(text, AddAfter, 1, "two", "X"), "one\r\ntwo\r\nX three\r\nfour");
    EXPECT_EQ(Applied(text, AddAfter, 1, "four", "X"), "one\r\ntwo three\r\nfour\r\nX");
    // Insert and Append: inline.
    EXPECT_EQ(Applied(text, Insert, 1, "one", "X"), "Xone\r\ntwo three\r\nfour");
    EXPECT_EQ(Applied(text, Insert, 1, "three", "X"), "one\r\ntwo Xthree\r\nfour");
    EXPECT_EQ(Applied(text, Append, 1, "two", "X"), "one\r\ntwoX three\r\nfour");
    EXPECT_EQ(Applied(text, Append, 1, "four", "X"), "one\r\ntwo three\r\nfourX");
    // Replace.
    EXPECT_EQ(Applied(text, Replace, 1, "one", "1"), "1\r\ntwo three\r\nfour");
    EXPECT_EQ(Applied(text, Replace, 1, "two", "2"), "one\r\n2 three\r\nfour");
    EXPECT_EQ(Applied(text, Replace, 1, "four", "4"), "one\r\ntwo three\r\n4");
    // Delete takes the two characters after the old data, or what is left at the end.
    EXPECT_EQ(Applied(text, Delete, 1, "one", "unused"), "two three\r\nfour");
    EXPECT_EQ(Applied(text, Delete, 1, "two", ""), "one\r\nhree\r\nfour");
    EXPECT_EQ(Applied(text, Delete, 1, "fou", ""), "one\r\ntwo three\r\n");
    EXPECT_EQ(Applied(text, Delete, 1, "four", ""), "one\r\ntwo three\r\n");
}

TEST(ApplyModTest, LineBreaksAreAddedOrRemovedAtMostOnce)
{
    EXPECT_EQ(Applied("a", AddBefore, 1, "a", "X\r\n"), "X\r\na");
    EXPECT_EQ(Applied("a", AddBefore, 1, "a", "X\r\n\r\n"), "X\r\n\r\na");
    EXPECT_EQ(Applied("a", AddBefore, 1, "a", ""), "\r\na");
    EXPECT_EQ(Applied("a", AddAfter, 1, "a", "\r\nX"), "a\r\nX");
    EXPECT_EQ(Applied("a", AddAfter, 1, "a", ""), "a\r\n");
    EXPECT_EQ(Applied("a", Insert, 1, "a", "\r\nX\r\n"), "Xa");
    EXPECT_EQ(Applied("a", Insert, 1, "a", "\r\n\r\nX"), "\r\nXa");
    EXPECT_EQ(Applied("a", Append, 1, "a", "X\r\n\r\n"), "aX\r\n");
    EXPECT_EQ(Applied("a", Replace, 1, "a", "\r\nX\r\n"), "\r\nX\r\n");
}

TEST(ApplyModTest, MatchingIgnoresCaseButKeepsNewTextAndWhiteSpace)
{
    EXPECT_EQ(Applied("print HEADER;", Replace, 1, "header", "Footer"), "print Footer;");
    EXPECT_EQ(Applied("kein ärger hier", Replace, 1, "ÄRGER", "Ärger"), "kein Ärger hier");
    EXPECT_EQ(Applied("a\r\nb", Replace, 1, "a\r\nb", "c"), "c");
    const Outcome loneLf = Mod("a\r\nb", Replace, 1, "a\nb", "c");
    EXPECT_EQ(loneLf.text, "a\r\nb");
    EXPECT_TRUE(loneLf.log.rows[0].red);
    EXPECT_TRUE(Mod("a  b", Replace, 1, "a b", "c").log.rows[0].red);
}

TEST(ApplyModTest, InstanceSelection)
{
    EXPECT_EQ(Applied("x x x", Replace, 2, "x", "y"), "x y x");
    EXPECT_EQ(Applied("x x", Replace, 2, "x", "y"), "x y");
    const Outcome tooFew = Mod("x", Replace, 2, "x", "y");
    EXPECT_EQ(tooFew.text, "x");
    EXPECT_TRUE(tooFew.log.rows[0].red);
    // A failed row says why: how many occurrences there were, with the ordinal asked for.
    EXPECT_EQ(tooFew.log.rows[0].why, "only 1 occurrence, the 2nd was asked");
    EXPECT_EQ(Mod("x x", Replace, 3, "x", "y").log.rows[0].why, "only 2 occurrences, the 3rd was asked");
    EXPECT_EQ(Mod("x x", Replace, 13, "x", "y").log.rows[0].why, "only 2 occurrences, the 13th was asked");
    EXPECT_EQ(Mod("x x", Replace, 21, "X", "y").log.rows[0].why, "only 2 occurrences, the 21st was asked");
    // Overlapping occurrences count separately.
    EXPECT_EQ(FindInstance("aaa", "aa", 1), 0);
    EXPECT_EQ(FindInstance("aaa", "aa", 2), 1);
    EXPECT_EQ(FindInstance("aaa", "aa", 3), -1);
    EXPECT_EQ(Applied("aaa", Insert, 2, "aa", "X"), "aXaa");
}

TEST(ApplyModTest, AllActsOnEveryOccurrenceOnce)
{
    EXPECT_EQ(Applied("a1 A2 a3", Replace, 0, "a", "b"), "b1 b2 b3");
    // New text that contains the old data is never searched again.
    EXPECT_EQ(Applied("ab ab", Replace, 0, "ab", "abab"), "abab abab");
    EXPECT_EQ(Applied("k\r\nk", AddBefore, 0, "k", "k"), "k\r\nk\r\nk\r\nk");
    EXPECT_EQ(Applied("k k", Insert, 0, "k", "kk"), "kkk kkk");
    EXPECT_EQ(Applied("k k", AddAfter, 0, "k", "k"), "k\r\nk k\r\nk");
    EXPECT_EQ(Applied("k k", Append, 0, "k", "k"), "kk kk");
    // A deletion or an empty replacement does not skip an occurrence right behind it.
    EXPECT_EQ(Applied("dup\r\ndup\r\nkeep\r\n", Delete, 0, "dup", ""), "keep\r\n");
    EXPECT_EQ(Applied("xxxy", Replace, 0, "x", ""), "y");
    // Many occurrences are done in one pass; one that shortens the text ends it where it should.
    EXPECT_EQ(Applied("ab" + QString(20, 'x'), Replace, 0, "x", ""), "ab");
    // Insertion before overlapping occurrences reaches each start once.
    EXPECT_EQ(Applied("aaa", Insert, 0, "aa", "X"), "XaXaa");
    const Outcome none = Mod("abc", Replace, 0, "z", "y");
    EXPECT_EQ(none.text, "abc");
    EXPECT_TRUE(none.log.rows[0].red);
}

TEST(ApplyModTest, UnknownActionAndEmptyOldData)
{
    // An action code outside 0 to 5 changes nothing and fails with the mod's comment.
    for (const int instance : {0, 1}) {
        const Outcome unknown = Mod("abc", 6, instance, "b", "X");
        EXPECT_EQ(unknown.text, "abc");
        EXPECT_EQ(
            unknown.log.rows[0],
            (LogRow {"forum.cgi", "", "Applying Mod", "ERROR: needs the hook", true, "the mod's action is unknown"}));
    }
    EXPECT_FALSE(ModFits("abc", {-1, 0, "b", "", "", ""}));

    const Outcome empty = Mod("abc", Replace, 0, "", "X");
    EXPECT_EQ(empty.text, "abc");
    EXPECT_TRUE(empty.log.rows[0].red);
    EXPECT_EQ(empty.log.rows[0].why, "the mod has no old data to look for");
    EXPECT_TRUE(Mod("abc", Replace, 1, "", "X").log.rows[0].red);
}

TEST(ApplyModTest, LogsOneRowPerModAndMarksOnlyFailuresRed)
{
    class CountingLog : public RecordingLog
    {
    public:
        int repaints = 0;
        void ProcessEvents() override { ++repaints; }
    } log;
    WorkBuffer buffer;
    buffer.SetText("alpha");
    ApplyMod(buffer, {Replace, 1, "alpha", "beta", "a.cgi", "first"}, log);
    ApplyMod(buffer, {AddAfter, 1, "gamma", "x", "a.cgi", "second"}, log);
    ApplyMod(buffer, {Delete, 0, "beta", "", "a.cgi", ""}, log);
    ApplyMod(buffer, {Append, 1, "nothing", "", "a.cgi", ""}, log);
    const std::vector<LogRow> expected {
        {"a.cgi", "Replace", "Applying Mod", "Mod applied successfully", false},
        {"a.cgi", "Add After", "Applying Mod", "ERROR: second", true, "old data not found in a.cgi"},
        {"a.cgi", "Delete", "Applying Mod", "Mod applied successfully", false},
        {"a.cgi", "Append", "Applying Mod", "ERROR: ", true, "old data not found in a.cgi"},
    };
    EXPECT_EQ(log.rows, expected);
    EXPECT_EQ(log.repaints, 4);
    EXPECT_EQ(buffer.Text(), "");
}

TEST(ModFitsTest, AllNeedsOneOccurrenceAndInstanceNeedsTheNth)
{
    EXPECT_TRUE(ModFits("one Two", {AddBefore, 0, "two", "", "", ""}));
    EXPECT_FALSE(ModFits("one", {AddBefore, 0, "two", "", "", ""}));
    EXPECT_TRUE(ModFits("aaa", {Replace, 2, "aa", "", "", ""}));
    EXPECT_FALSE(ModFits("aaa", {Replace, 3, "aa", "", "", ""}));
    EXPECT_FALSE(ModFits("aaa", {Replace, 0, "", "", "", ""}));
}

} // namespace
} // namespace zp
