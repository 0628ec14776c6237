// Times the hack list's RefillHackList on 10,000 hacks and its refill at each key press of a
// filter, the text viewer opening a 20 MiB file and its Replace All over a file 2.5 times as large
// (50 MiB, 616,810 matches), offscreen. Prints each run and the median.
//
//   catalogue_bench [HACKS [MIB]]     (defaults 10000 and 20)
#include "app/app_state.h"
#include "app/common.h"
#include "app/scripted_dialogs.h"
#include "database/database.h"
#include "database/sql.h"
#include "shell/hack_list_openers.h"
#include "shell/mdi_main.h"
#include "viewer/frm_text_file.h"
#include "widgets/flex_grid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

// Times `run`; `before` and `after` (not timed) prepare and tidy up each run.
void Time(const QString& name,
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
        std::printf("%s run %d: %.1f ms\n", qPrintable(name), i + 1, ms.back());
        if (after)
            after();
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%s median: %.1f ms\n", qPrintable(name), ms[ms.size() / 2]);
}

// Hacks with two mods each and a support file on every third one.
void FillDatabase(zp::Database& db, int hacks)
{
    zp::Transaction transaction(db);
    for (int i = 1; i <= hacks; ++i) {
        db.Execute(QString("INSERT INTO HackInfo (Name, Version, AuthName, HackType, LastMod) VALUES "
                           "('Hack %1', '1.%2', 'Author %2', %3, '12-06-2001 2:49am')")
                       .arg(hacks - i, 5, 10, QChar('0'))
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
    const int hacks = argc > 1 ? std::atoi(argv[1]) : 10000;
    const qint64 mib = argc > 2 ? std::atoll(argv[2]) : 20;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path()); // the list's order
    zp::ScriptedDialogs dialogs;
    zp::AppState state(dir.path(), dialogs);
    zp::Database::CreateNew(dir.filePath(zp::Database::FileName));
    zp::OpenDatabase(state);
    state.ConfigRecordset->ReOpen(zp::sql::SelectConfig);
    FillDatabase(state.Connection, hacks);

    zp::mdiMain main(state);
    main.show();
    zp::frmListHacks& list = zp::ShowHackList(main);
    Time(QString("RefillHackList, %1 hacks").arg(hacks), 5, [&] {
        list.RefillHackList();
        QCoreApplication::processEvents();
    });
    const int rows = list.fgHackList->Rows();
    std::printf("grid rows: %d\n", rows);

    // Typing a filter and erasing it again, a key at a time: every key press refills the grid.
    // "a" matches every hack and the empty filter brings them all back: the costliest refills.
    std::vector<double> keys;
    const QString typed = "author 1";
    for (int round = 0; round < 3; ++round) {
        for (qsizetype length : {1, 2, 3, 4, 5, 6, 7, 8, 7, 6, 5, 4, 3, 2, 1, 0}) {
            QElapsedTimer timer;
            timer.start();
            list.txtFilter->setText(typed.left(length));
            QCoreApplication::processEvents();
            keys.push_back(timer.nsecsElapsed() / 1e6);
        }
    }
    std::sort(keys.begin(), keys.end());
    std::printf("Filter as you type, %d hacks: %zu key presses, median %.1f ms, max %.1f ms\n",
                hacks,
                keys.size(),
                keys[keys.size() / 2],
                keys.back());

    const QString path = WriteTextFile(dir.filePath("big.cgi"), mib << 20);
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
    Time(QString("Text viewer, %1 MiB file shown").arg(mib), 3, open, close);
    Time(
        QString("Text viewer, %1 MiB file wholly in the box").arg(mib),
        3,
        [&] {
            open();
            while (viewer->IsLoading())
                QCoreApplication::processEvents();
        },
        close);

    const qint64 replaceMib = mib * 5 / 2;
    const QString replacePath = WriteTextFile(dir.filePath("huge.cgi"), replaceMib << 20);
    bool replaced = true;
    // The click returns with the text before the first replacement in the box; the rest fills in
    // while the window goes on processing events.
    Time(
        QString("Text viewer, Replace All in a %1 MiB file").arg(replaceMib),
        3,
        [&] { viewer->ReplaceAllButton->click(); },
        [&] {
            QElapsedTimer filling;
            filling.start();
            while (viewer->IsLoading())
                QCoreApplication::processEvents();
            std::printf("  then filled in the background in %lld ms\n", filling.elapsed());
            replaced &= dialogs.messages.back().text == "Done replacing";
            close();
        },
        [&] {
            viewer = zp::OpenTextViewer(main, replacePath);
            viewer->txtFindText->setText("forumname");
            viewer->txtReplaceText->setText("boardname");
            viewer->FindButton->click();
        });
    zp::CloseDatabase(state);
    return rows == hacks + 1 && replaced ? 0 : 1; // the header row and one row per hack
}
