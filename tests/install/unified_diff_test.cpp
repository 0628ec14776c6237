#include "install/unified_diff.h"

#include <gtest/gtest.h>

namespace zp {
namespace {

QByteArray Numbered(int from, int to, const char* end)
{
    QByteArray text;
    for (int i = from; i <= to; ++i)
        text += "line " + QByteArray::number(i) + end;
    return text;
}

TEST(UnifiedDiffTest, HunksKeepThreeLinesOfContextAndMergeWhenClose)
{
    // Changes at lines 2 and 9 share a hunk (six kept lines between); the one at 20 has its own.
    QByteArray after = Numbered(1, 25, "\r\n");
    after.replace("line 2\r\n", "two\r\n");
    after.replace("line 9\r\n", "");
    after.replace("line 20\r\n", "line 20\r\nnew\r\n");
    EXPECT_EQ(UnifiedDiff("cgi-bin/a.cgi", Numbered(1, 25, "\r\n"), after),
              "--- a/cgi-bin/a.cgi\n"
              "+++ b/cgi-bin/a.cgi\n"
              "@@ -1,12 +1,11 @@\n"
              " line 1\r\n"
              "-line 2\r\n"
              "+two\r\n"
              " line 3\r\n line 4\r\n line 5\r\n line 6\r\n line 7\r\n line 8\r\n"
              "-line 9\r\n"
              " line 10\r\n line 11\r\n line 12\r\n"
              "@@ -18,6 +17,7 @@\n"
              " line 18\r\n line 19\r\n line 20\r\n"
              "+new\r\n"
              " line 21\r\n line 22\r\n line 23\r\n");
    EXPECT_EQ(UnifiedDiff("same", QByteArray("x\n"), "x\n"), "");
}

TEST(UnifiedDiffTest, NewFilesMissingLastLineEndsAndBinaryFiles)
{
    EXPECT_EQ(UnifiedDiff("new.txt", std::nullopt, "a\nb"),
              "--- /dev/null\n+++ b/new.txt\n@@ -0,0 +1,2 @@\n+a\n+b\n\\ No newline at end of file\n");
    EXPECT_EQ(UnifiedDiff("x", QByteArray("k\nold"), "k\nold\n"),
              "--- a/x\n+++ b/x\n@@ -1,2 +1,2 @@\n k\n-old\n\\ No newline at end of file\n+old\n");
    EXPECT_EQ(UnifiedDiff("i.gif", QByteArray("GIF\0a", 5), "GIF"), "Binary files a/i.gif and b/i.gif differ\n");
    EXPECT_EQ(UnifiedDiff("i.gif", std::nullopt, QByteArray("\0", 1)), "Binary files /dev/null and b/i.gif differ\n");
}

TEST(UnifiedDiffTest, NamesPatchCanReadBackAndEmptyNewFiles)
{
    EXPECT_EQ(UnifiedDiff("my page.txt", QByteArray("a\n"), "b\n"),
              "--- a/my page.txt\t\n+++ b/my page.txt\t\n@@ -1 +1 @@\n-a\n+b\n");
    EXPECT_EQ(UnifiedDiff("q\"\t\\.txt", std::nullopt, "b\n"),
              "--- /dev/null\n+++ \"b/q\\\"\\t\\\\.txt\"\n@@ -0,0 +1 @@\n+b\n");
    EXPECT_EQ(UnifiedDiff("my index.html", std::nullopt, ""),
              "diff --git \"a/my index.html\" \"b/my index.html\"\nnew file mode 100644\n");
}

} // namespace
} // namespace zp
