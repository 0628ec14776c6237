#include "catalogue/hack_list_view.h"
#include "core/catalogue_operations.h"

#include <gtest/gtest.h>

namespace zp {
namespace {

HackListRow Row(const QString& name, const QString& version, const QString& author, const QString& comments = {})
{
    return {1, {name, version, author, "0", "", ""}, comments};
}

TEST(HackFilterTest, EveryWordMustBeFoundInNameVersionAuthorOrCommentsWhateverCaseAndAccents)
{
    const QString text = SearchTextOf(Row("Ünïcode Smilies", "2.1", "Zoë Brontë", "Adds a PM box"));
    EXPECT_TRUE(HackFilter("unicode").Matches(text));
    EXPECT_TRUE(HackFilter("SMILIES zoe").Matches(text));
    EXPECT_TRUE(HackFilter("  pm   brontë ").Matches(text));
    EXPECT_TRUE(HackFilter("2.1").Matches(text));
    EXPECT_TRUE(HackFilter("ÜNI").Matches(text));
    EXPECT_FALSE(HackFilter("unicode calendar").Matches(text)) << "every word, not any";
    EXPECT_FALSE(HackFilter("smiliesadds").Matches(text));
    EXPECT_FALSE(HackFilter("2.1zoe").Matches(text)) << "no word across two fields";
    EXPECT_TRUE(HackFilter("   ").IsEmpty());
}

TEST(CompareVersionsTest, ComparesPartByPartAsNumbersWhereTheyAreNumbers)
{
    EXPECT_GT(CompareVersions("1.10", "1.9"), 0);
    EXPECT_LT(CompareVersions("1.9", "1.10"), 0);
    EXPECT_EQ(CompareVersions("1.0", "1"), 0);
    EXPECT_EQ(CompareVersions("2.0.1", "2.0.1"), 0);
    EXPECT_GT(CompareVersions("1.0.1", "1.0"), 0);
    EXPECT_GT(CompareVersions("2.0", "1.99.99"), 0);
    EXPECT_GT(CompareVersions("1.2b", "1.2a"), 0);
    EXPECT_EQ(CompareVersions("1.2B", "1.2b"), 0);
    EXPECT_GT(CompareVersions("1.2-beta", "1.2"), 0);
    EXPECT_LT(CompareVersions("", "0.0.1"), 0);
}

TEST(CompareVersionsTest, NumbersTooLongForAnIntegerCompareByTheirValue)
{
    EXPECT_LT(CompareVersions("99999999999999999999", "100000000000000000000"), 0);
    EXPECT_GT(CompareVersions("1.100000000000000000001", "1.100000000000000000000"), 0);
    EXPECT_EQ(CompareVersions("2.000000000000000000000007", "2.7"), 0);
}

TEST(SortedRowOrderTest, SortsEachColumnByItsKindAndKeepsTheCatalogueOrderForTies)
{
    std::vector<HackListRow> rows = {
        {1, {"beta", "1.10", "Ann", "12", "12-06-2001 2:49pm", ""}, {}},
        {2, {"Alpha", "1.9", "ann", "3", "12-06-2001 10:05am", "01-02-2002 9:00am"}, {}},
        {3, {"gamma", "1.9", "Bob", "0", "11-30-2001 11:59pm", "bad stamp"}, {}},
    };
    EXPECT_EQ(SortedRowOrder(rows, NameColumn, Qt::AscendingOrder), (std::vector<int> {1, 0, 2}));
    EXPECT_EQ(SortedRowOrder(rows, VersionColumn, Qt::AscendingOrder), (std::vector<int> {1, 2, 0}));
    EXPECT_EQ(SortedRowOrder(rows, VersionColumn, Qt::DescendingOrder), (std::vector<int> {0, 1, 2}));
    EXPECT_EQ(SortedRowOrder(rows, AuthorColumn, Qt::DescendingOrder), (std::vector<int> {2, 0, 1}));
    EXPECT_EQ(SortedRowOrder(rows, FilesColumn, Qt::AscendingOrder), (std::vector<int> {2, 1, 0}));
    EXPECT_EQ(SortedRowOrder(rows, ModifiedColumn, Qt::AscendingOrder), (std::vector<int> {2, 1, 0}));
    // Empty and unreadable stamps come before every time.
    EXPECT_EQ(SortedRowOrder(rows, InstalledColumn, Qt::AscendingOrder), (std::vector<int> {0, 2, 1}));
}

} // namespace
} // namespace zp
