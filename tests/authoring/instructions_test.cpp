#include "authoring/patch_apply.h"

#include <gtest/gtest.h>

namespace zp::testing {

namespace {

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
