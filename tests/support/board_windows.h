#pragma once

#include "board_tree.h"

#include "shell/mdi_main.h"
#include "widget_test_app.h"
#include "widgets/flex_grid.h"

#include <memory>

namespace zp::testing {

// A board tree with the main window shown, for the windows over the installation and the analysis.
class BoardWindows : public BoardTree
{
protected:
    static void SetUpTestSuite() { test::EnsureApplication(); }

    void SetUp() override
    {
        main = std::make_unique<mdiMain>(state);
        main->show();
    }

    void TearDown() override { main.reset(); }

    // The data rows of a log grid as log rows, red where the grid shows them red, with the notes of
    // their tooltips.
    static std::vector<LogRow> GridRows(const FlexGrid& grid)
    {
        std::vector<LogRow> rows;
        for (int r = 1; r < grid.Rows(); ++r) {
            rows.push_back({grid.TextMatrix(r, 0),
                            grid.TextMatrix(r, 1),
                            grid.TextMatrix(r, 2),
                            grid.TextMatrix(r, 3),
                            grid.RowColor(r) == QColor(Qt::red),
                            grid.RowNote(r)});
        }
        return rows;
    }

    std::unique_ptr<mdiMain> main;
};

} // namespace zp::testing
