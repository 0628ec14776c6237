// Times the hack list's RefillHackList on 10,000 hacks, the text viewer opening a 20 MiB file and
// its Replace All over a 50 MiB file (616,810 matches), offscreen. Prints each run and the median.
#include "app/app_state.h"
#include "app/common.h"
#include "app/mdi_main.h"
#include "app/scripted_dialogs.h"
#include "catalogue/flex_grid.h"
#include "catalogue/frm_list_hacks.h"
#include "database/database.h"
#include "database/sql.h"
#include "viewer/frm_text_file.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

constexpr int Hacks = 10000;
constexpr qint64 TextFileBytes = 20 * 1024 * 1024;
constexpr qint64 ReplaceFileBytes = 50 * 1024 * 1024;

// Times `run`; `before` and `after` (not timed) prepare and tidy up each run.
void Time(const char* name,
          int runs,
          const std::function<void()>& run,
          const std::function<void()>& after = {},
          const std::function<void()>& before = {})
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        if (before)
            before();
        QElapsedTimer timer;
        timer.start();
        run();
        ms.push_back(timer.nsecsElapsed() / 1e6);
        std::printf("%s run %d: %.1f ms\n", name, i + 1, ms.back());
        if (after)
            after();
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%s median: %.1f ms\n", name, ms[ms.size() / 2]);
}

// 10,000 hacks with two mods each and a support file on every third one.
void FillDatabase(zp::Database& db)
{
    zp::Transaction transaction(db);
    for (int i = 1; i <= Hacks; ++i) {
        db.Execute(QString("INSERT INTO HackInfo (Name, Version, AuthName, HackType, LastMod) VALUES "
                           "('Hack %1', '1.%2', 'Author %2', %3, '12-06-2001 2:49am')")
                       .arg(Hacks - i, 5, 10, QChar('0'))
                       .arg(i % 17)
                       .arg(i % 2));
        db.Execute(QString("INSERT INTO HackData (HackNum, ModOrder, FileName) VALUES (%1, 1, 'a.cgi'), "
                           "(%1, 2, 'b.cgi')")
                       .arg(i));
        if (i % 3 == 0)
            db.Execute(QString("INSERT INTO HackFiles (HackNum, FileName) VALUES (%1, 'f.gif')").arg(i));
    }
    transaction.Commit();
}

// Lines of 85 bytes, each with one "forumname".
QString WriteTextFile(const QString& path, qint64 bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        std::exit(2);
    const QByteArray line = "    $output .= qq~<tr><td class=\"forum\">$forumname</td><td>$posts</td></tr>~;\r\n";
    for (qint64 written = 0; written < bytes; written += line.size())
        file.write(line);
    return path;
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    QTemporaryDir dir;
    zp::ScriptedDialogs dialogs;
    zp::AppState state(dir.path(), dialogs);
    zp::Database::CreateNew(dir.filePath(zp::Database::FileName));
    zp::OpenDatabase(state);
    state.ConfigRecordset->ReOpen(zp::sql::SelectConfig);
    FillDatabase(state.Connection);

    zp::mdiMain main(state);
    main.show();
    zp::frmListHacks& list = zp::ShowHackList(main);
    Time("RefillHackList, 10000 hacks", 5, [&] {
        list.RefillHackList();
        QCoreApplication::processEvents();
    });
    std::printf("grid rows: %d\n", list.fgHackList->Rows());

    const QString path = WriteTextFile(dir.filePath("big.cgi"), TextFileBytes);
    zp::frmTextFile* viewer = nullptr;
    const auto close = [&] {
        viewer->parentWidget()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    const auto open = [&] {
        viewer = zp::OpenTextViewer(main, path);
        if (!viewer)
            std::exit(3);
        QCoreApplication::processEvents(); // shown and painted with the first piece
    };
    Time("Text viewer, 20 MiB file shown", 3, open, close);
    Time(
        "Text viewer, 20 MiB file wholly in the box",
        3,
        [&] {
            open();
            while (viewer->IsLoading())
                QCoreApplication::processEvents();
        },
        close);

    const QString replacePath = WriteTextFile(dir.filePath("huge.cgi"), ReplaceFileBytes);
    // The click returns with the text before the first replacement in the box; the rest fills in
    // while the window goes on processing events.
    Time(
        "Text viewer, Replace All in a 50 MiB file",
        3,
        [&] { viewer->ReplaceAllButton->click(); },
        [&] {
            QElapsedTimer filling;
            filling.start();
            while (viewer->IsLoading())
                QCoreApplication::processEvents();
            std::printf("  then filled in the background in %lld ms (%s)\n",
                        filling.elapsed(),
                        qPrintable(dialogs.messages.back().text));
            close();
        },
        [&] {
            viewer = zp::OpenTextViewer(main, replacePath);
            viewer->txtFindText->setText("forumname");
            viewer->txtReplaceText->setText("boardname");
            viewer->FindButton->click();
        });
    zp::CloseDatabase(state);
    return 0;
}
