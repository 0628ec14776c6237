#include "authoring/line_buffer.h"
#include "authoring/patch_apply.h"
#include "authoring/step_instructions.h"

#include <gtest/gtest.h>

namespace zp::testing {

namespace {

TEST(InstructionsTest, HeadingsAreReadInOnePass)
{
    const QString blanks(20000, u' ');
    const struct
    {
        QString line;
        QString step; // empty: not a heading
    } cases[] = {
        {"#-----[ AFTER, ADD ]------", "AFTER ADD"},
        {"## --[inline find]", "IN-LINE FIND"},
        {"#-----[ FIND ] x ]-----  ", "FIND ] X"},
        {"#[ FIND ]-----", ""},
        {"#-----[ FIND ]----- x", ""},
        {"-----[ FIND ]-----", ""},
        {"#-[" + blanks + "x" + blanks + "]" + blanks + "y", ""},
    };
    for (const auto& c : cases) {
        const Instructions read = ReadInstructions(c.line + "\r\nbody");
        EXPECT_EQ(read.steps.empty() ? QString() : read.steps[0].name, c.step) << c.line.left(30).toStdString();
    }
}

TEST(InstructionsTest, FindTakesTheFirstRunOfLinesHoldingTheParts)
{
    QStringList repeated(3000, "x = 1;");
    repeated << "y = 2;"
             << "x = 1;";
    const QStringList parts = QStringList(200, "x =") << "y";
    const struct
    {
        QStringList lines;
        QStringList parts;
        qsizetype from;
        qsizetype found;
    } cases[] = {
        {{"a", "\tb c", "a", "b", "c"}, {"a", "b"}, 0, 0},
        {{"a", "\tb c", "a", "b", "c"}, {"a", "b"}, 1, 2},
        {{"a", "b"}, {"b", "c"}, 0, -1},
        {repeated, parts, 0, 2800},
        {repeated, parts, 2801, -1},
        {repeated, QStringList(200, "x") << "z", 0, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindLines(LineBuffer(c.lines), c.parts, c.from), c.found) << c.parts.join('|').left(40).toStdString();
}

TEST(PatchApplyTest, HunksApplyAtTheirLinesInOrder)
{
    const struct
    {
        QByteArray hunks;
        std::optional<QByteArray> after;
        QString reason;
    } cases[] = {
        {"@@ -2,0 +3 @@\n+new\n", "a\nb\nnew\nc\n", ""},
        {"@@ -0,0 +1 @@\n+new\n", "new\na\nb\nc\n", ""},
        {"@@ -3 +3 @@\n-c\n+C\n\\ No newline at end of file\n", "a\nb\nC", ""},
        {"@@ -3 +3 @@\n-c\n+C\n@@ -1 +1 @@\n-a\n+A\n", std::nullopt, "hunk 2 (patch line 6) does not apply at line 1"},
    };
    for (const auto& c : cases) {
        const std::vector<FilePatch> patch = ParseUnifiedDiff("--- a/x\n+++ b/x\n" + c.hunks);
        QString reason;
        ASSERT_EQ(patch.size(), 1u);
        EXPECT_EQ(ApplyFilePatch(patch[0], QByteArray("a\nb\nc\n"), reason), c.after) << c.hunks.toStdString();
        EXPECT_EQ(reason, c.reason);
    }
}

} // namespace

} // namespace zp::testing
