#include "catalogue/frm_check_updates.h"

#include "catalogue/network_fetcher.h"
#include "catalogue_fixture.h"
#include "interchange/hack_import.h"
#include "loopback_server.h"
#include "shell/mdi_main.h"
#include "widgets/flex_grid.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace zp {
namespace {

using namespace std::chrono_literals;

class CheckUpdatesWindowTest : public test::CatalogueTest
{
protected:
    void SetUp() override
    {
        CatalogueTest::SetUp();
        main = std::make_unique<mdiMain>(state);
        main->show();
    }

    void TearDown() override
    {
        main.reset();
        CatalogueTest::TearDown();
    }

    void AddHack(const QString& name, const QString& url)
    {
        const int number = CatalogueTest::AddHack(name);
        state.Connection.Execute(
            QString("UPDATE HackInfo SET UpdateURL = '%1' WHERE HackNum = %2").arg(url).arg(number));
    }

    frmCheckUpdates& Open()
    {
        window = new frmCheckUpdates(*main, std::make_unique<NetworkFetcher>(1s));
        main->ShowChild(window);
        window->Load();
        return *window;
    }

    std::unique_ptr<mdiMain> main;
    frmCheckUpdates* window = nullptr;
    test::LoopbackServer server;
};

TEST_F(CheckUpdatesWindowTest, ShowsEachVerdictThenDownloadsAndImportsTheNewerHack)
{
    const QByteArray newer = test::HackFileBytes("1.5");
    server.Serve("/newer.zpx", {200, newer});
    AddHack("Calendar", server.Url("/newer.zpx").toString());
    AddHack("Gone", server.Url("/gone.zpx").toString());
    Open();
    EXPECT_TRUE(window->cmdCancel->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->IsBusy(); }, 10000));

    EXPECT_EQ(window->fgUpdates->TextMatrix(1, 2), "newer version 1.5");
    EXPECT_EQ(window->fgUpdates->TextMatrix(1, 3), SizeText(newer.size()));
    EXPECT_EQ(window->fgUpdates->TextMatrix(2, 2), "unreachable: HTTP 404 Not Found");
    EXPECT_EQ(window->fgUpdates->RowColor(2), QColor(Qt::red));
    EXPECT_EQ(window->prgCheck->value(), 2);
    EXPECT_EQ(window->lblStatus->text(), "2 hacks checked: 1 with a newer version.");
    EXPECT_FALSE(window->cmdCancel->isEnabled());

    QStringList imported;
    window->ImportFile = [&](const QString& file) {
        imported << QFileInfo(file).fileName();
        ImportHackFile(state, file);
        return state.ImportedHackNum;
    };
    window->fgUpdates->SetRow(2);
    EXPECT_FALSE(window->cmdDownload->isEnabled());
    window->fgUpdates->SetRow(1);
    dialogs.answers = {MsgAnswer::No, MsgAnswer::Yes};
    window->cmdDownload->click(); // declined: nothing is fetched
    EXPECT_EQ(server.requests.size(), 2);
    window->cmdDownload->click();
    EXPECT_EQ(dialogs.messages.back().text,
              QString("Download version 1.5 of \"Calendar\" (%1) from %2 and import it?")
                  .arg(SizeText(newer.size()), server.Url("/newer.zpx").toString()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !imported.isEmpty(); }, 10000));
    EXPECT_EQ(imported, QStringList {"newer.zpx"});
    EXPECT_EQ(CountRows("SELECT * FROM HackInfo WHERE Name = 'Update Test' AND Version = '1.5'"), 1);
    EXPECT_EQ(window->fgUpdates->TextMatrix(1, 2), "imported: version 1.5");
    EXPECT_EQ(window->lblStatus->text(), "Version 1.5 of \"Calendar\" imported.");
    EXPECT_FALSE(window->cmdDownload->isEnabled());
}

// An import cancelled at the question about the hack already in the catalogue closes its window,
// deletes the download and says so in the row, whose button stays for another try.
TEST_F(CheckUpdatesWindowTest, ACancelledImportClosesItsWindowAndDeletesTheDownload)
{
    server.Serve("/newer.zpx", {200, test::HackFileBytes("1.5")});
    AddHack("Calendar", server.Url("/newer.zpx").toString());
    const int same = CatalogueTest::AddHack("Update Test");
    state.Connection.Execute(QString("UPDATE HackInfo SET Version = '1.5' WHERE HackNum = %1").arg(same));
    Open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->IsBusy(); }, 10000));
    QString downloaded;
    window->ImportFile = [&, import = window->ImportFile](const QString& file) {
        downloaded = file;
        return import(file);
    };
    bool leftOpen = false;
    QTimer::singleShot(5000, window, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            leftOpen = true;
            modal->close();
        }
    });
    window->fgUpdates->SetRow(1);
    window->fgUpdates->setColumnWidth(2, 40); // the row's new text widens it again
    dialogs.answers = {MsgAnswer::Yes, MsgAnswer::Cancel};
    window->cmdDownload->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !downloaded.isEmpty() && !window->IsBusy(); }, 10000));
    EXPECT_FALSE(leftOpen);
    EXPECT_EQ(dialogs.messages.back().buttons, MsgButtons::ReplaceKeepBothCancel);
    EXPECT_FALSE(QFileInfo::exists(downloaded));
    EXPECT_EQ(window->fgUpdates->TextMatrix(1, 2), "newer version 1.5: import cancelled");
    EXPECT_EQ(window->fgUpdates->CutCellText(1, 2), "");
    EXPECT_EQ(window->lblStatus->text(), "The import of \"Calendar\" was cancelled; the downloaded file was deleted.");
    EXPECT_TRUE(window->cmdDownload->isEnabled());
}

TEST_F(CheckUpdatesWindowTest, CancelStopsTheCheckAndLeavesTheRestUnchecked)
{
    server.Serve("/slow.zpx", {200, test::HackFileBytes("2.0"), {}, 5000});
    for (int i = 1; i <= 6; ++i)
        AddHack(QString("Slow %1").arg(i), server.Url("/slow.zpx").toString());
    Open();
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
    ASSERT_TRUE(window->IsBusy());
    QTest::keyClick(window->fgUpdates, Qt::Key_Escape);
    EXPECT_FALSE(window->IsBusy());
    EXPECT_TRUE(main->findChild<frmCheckUpdates*>()) << "the first Escape only cancels";
    EXPECT_EQ(window->fgUpdates->TextMatrix(6, 2), "not checked");
    EXPECT_EQ(window->lblStatus->text(), "Cancelled: 0 of 6 hacks checked.");
}

} // namespace
} // namespace zp
