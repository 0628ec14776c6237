#pragma once

#include "app/app_state.h"
#include "app/scripted_dialogs.h"
#include "database/database.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace zp::test {

inline QApplication& App()
{
    static int argc = 1;
    static char name[] = "app_ui_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// Runs act on the next modal window that opens (the splash, the Options dialog), from the event loop
// that the modal window runs.
// Returns the watching timer, which a test that expects no modal window deletes at its end.
inline QTimer* WhenModal(std::function<void(QWidget*)> act)
{
    auto* poll = new QTimer(&App());
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            act(modal);
        }
    });
    poll->start();
    return poll;
}

// A program folder with a fresh database, scripted dialogs and the shared state over them.
// XDG_DATA_HOME points into the folder, so file association never touches the real desktop.
class ShellTest : public ::testing::Test
{
protected:
    ShellTest()
    {
        App();
        qputenv("XDG_DATA_HOME", QDir(dir.path()).filePath("xdg").toUtf8());
        QDir(dir.path()).mkpath("home");
        Database::CreateNew(DatabasePath());
    }

    QString Home() const { return dir.path() + "/home"; }
    QString DatabasePath() const { return Home() + "/" + Database::FileName; }
    QString XdgHome() const { return dir.path() + "/xdg"; }

    // Gives the configuration row a source and an output folder (and any further assignments).
    void Configure(const QString& moreAssignments = QString())
    {
        Database db;
        db.Open(DatabasePath());
        db.Execute("UPDATE MainConfig SET SourceDir = '" + dir.path() + "/source', OutputDir = '" + dir.path()
                   + "/output'" + (moreAssignments.isEmpty() ? QString() : ", " + moreAssignments));
        db.Close();
    }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    AppState state {Home(), dialogs};
};

} // namespace zp::test
