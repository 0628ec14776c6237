#include "boardcheck/board_check_report.h"

#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace zp {
namespace {

UpgradeCheckResult UpgradeCase()
{
    const FailingMod failing {"Renamed", "post.cgi", "Replace", 4, "post form", "<form>"};
    return {{{{1, "Chain"}, 2, 2, 2, {}, UpgradeVerdict::Fits, {}},
             {{2, "Renamed"}, 2, 2, 0, {"cgi-bin/post.cgi"}, UpgradeVerdict::BreaksOnUpgrade, {failing}}},
            false};
}

ConflictCheckResult ConflictCase(const QString& first)
{
    ConflictCheckResult result;
    result.Hacks = {{1, first}, {2, "B"}, {3, "C"}};
    result.Pairs = {{{1, first}, {2, "B"}, {"a.cgi"}, PairVerdict::OrderMatters, {}},
                    {{2, "B"},
                     {3, "C"},
                     {"a.cgi", "b.cgi"},
                     PairVerdict::SecondBreaksFirst,
                     {{"B", "a.cgi", "Delete", 1, "", "x"}}}};
    result.SafeOrder = {{1, first}, {3, "C"}, {2, "B"}};
    return result;
}

TEST(BoardCheckReportTest, TextAndTsvReports)
{
    EXPECT_EQ(UpgradeReport(UpgradeCase(), ReportFormat::Text).toStdString(),
              "Board upgrade check\n"
              "\n"
              "Hack     Mods  Apply now  Apply after upgrade  Missing after upgrade  Verdict\n"
              "Chain    2     2          2                                           fits\n"
              "Renamed  2     2          0                    cgi-bin/post.cgi       breaks on upgrade\n"
              "\n"
              "Failing mods\n"
              "Hack     File      Action   Order  Comment    Old data\n"
              "Renamed  post.cgi  Replace  4      post form  <form>\n");
    EXPECT_EQ(UpgradeReport(UpgradeCase(), ReportFormat::Tsv).toStdString(),
              "Hack\tMods\tApply now\tApply after upgrade\tMissing after upgrade\tVerdict\n"
              "Chain\t2\t2\t2\t\tfits\n"
              "Renamed\t2\t2\t0\tcgi-bin/post.cgi\tbreaks on upgrade\n"
              "\n"
              "Hack\tFile\tAction\tOrder\tComment\tOld data\n"
              "Renamed\tpost.cgi\tReplace\t4\tpost form\t<form>\n");
    ConflictCheckResult cycle = ConflictCase("A");
    EXPECT_EQ(ConflictReport(cycle, ReportFormat::Text).toStdString(),
              "Hacks that collide\n"
              "\n"
              "Hack  Other hack  Verdict        Shared files\n"
              "A     B           order matters  a.cgi\n"
              "B     C           C breaks B     a.cgi, b.cgi\n"
              "\n"
              "Failing mods\n"
              "Hack  File   Action  Order  Comment  Old data\n"
              "B     a.cgi  Delete  1               x\n"
              "\n"
              "Suggested install order: A, C, B\n");
    cycle.SafeOrder.clear();
    cycle.Cycle = {{2, "B"}, {3, "C"}, {2, "B"}};
    EXPECT_TRUE(ConflictReport(cycle, ReportFormat::Tsv).endsWith("\n\nno safe order: B -> C -> B\n"));
}

TEST(BoardCheckReportTest, AMultiLineCellStaysOnItsRowInTheTextReport)
{
    ConflictCheckResult result = ConflictCase("A");
    result.Pairs[1].Failing[0].OldData = "<form>\r\n\t<input>";
    EXPECT_TRUE(ConflictReport(result, ReportFormat::Text)
                    .contains("\nB     a.cgi  Delete  1               <form>\\r\\n\\t<input>\n"));
}

// The texts of the page's cells, good ones marked "+", bad ones "-"; fails on any XML error.
QStringList Cells(const QString& html)
{
    QXmlStreamReader page(html);
    QStringList cells;
    while (!page.atEnd()) {
        if (page.readNext() == QXmlStreamReader::StartElement && page.name() == u"td") {
            const auto tone = page.attributes().value("class");
            const QString mark = tone == u"good" ? "+" : tone == u"bad" ? "-" : "";
            cells << mark + page.readElementText();
        }
    }
    EXPECT_FALSE(page.hasError()) << page.errorString().toStdString();
    return cells;
}

TEST(BoardCheckReportTest, HtmlReportsAreWellFormedPagesWithColouredCells)
{
    const QString upgrade = UpgradeReport(UpgradeCase(), ReportFormat::Html);
    EXPECT_TRUE(upgrade.startsWith("<!DOCTYPE html>\n<html"));
    const QStringList cells = Cells(upgrade);
    ASSERT_EQ(cells.size(), 18);
    EXPECT_EQ(cells.mid(6, 6), QStringList({"Renamed", "2", "+2", "-0", "-cgi-bin/post.cgi", "-breaks on upgrade"}));
    EXPECT_EQ(cells.last(), "<form>");

    const QStringList pairs = Cells(ConflictReport(ConflictCase("A<&>\"\x01"), ReportFormat::Html));
    ASSERT_EQ(pairs.size(), 14);
    EXPECT_EQ(pairs[0], "A<&>\"\uFFFD");
    EXPECT_EQ(pairs[2], "+order matters");
    EXPECT_EQ(pairs[6], "-C breaks B");
}

} // namespace
} // namespace zp
