#pragma once

#include "app/app_state.h"
#include "app/scripted_dialogs.h"
#include "database/database.h"
#include "widget_test_app.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace zp::test {

// A program folder with a fresh database, scripted dialogs and the shared state over them.
// XDG_DATA_HOME points into the folder, so file association never touches the real desktop.
class ShellTest : public ::testing::Test
{
protected:
    ShellTest()
    {
        EnsureApplication();
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
