#pragma once

#include "app/app_state.h"
#include "app/common.h"
#include "app/scripted_dialogs.h"
#include "database/database.h"
#include "database/recordset.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

// A temporary program folder holding a new hack database, opened through OpenDatabase, with a
// scripted dialogs seam. Tests of every subsystem build on it.
class ProgramFolderFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        zp::Database::CreateNew(DatabasePath());
        zp::OpenDatabase(state);
    }

    void TearDown() override { zp::CloseDatabase(state); }

    QString DatabasePath() const { return folder.filePath(zp::Database::FileName); }

    // The number of rows a query returns.
    int CountRows(const QString& sql)
    {
        zp::Recordset rows(state.Connection);
        rows.Open(sql);
        return rows.RecordCount();
    }

    QTemporaryDir folder;
    zp::ScriptedDialogs dialogs;
    zp::AppState state {folder.path(), dialogs};
};
