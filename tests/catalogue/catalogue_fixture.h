#pragma once

#include "core/catalogue_operations.h"
#include "database/sql.h"
#include "program_folder_fixture.h"
#include "widget_test_app.h"

namespace zp::test {

// A new hack database in a temporary program folder, with the configuration row open and a
// helper that adds hacks.
class CatalogueTest : public ProgramFolderFixture
{
protected:
    static void SetUpTestSuite() { EnsureApplication(); }

    void SetUp() override
    {
        ProgramFolderFixture::SetUp();
        state.ConfigRecordset->ReOpen(sql::SelectConfig);
    }

    // Adds a hack with `mods` mods and `files` support files; returns its HackNum. An empty
    // lastInstall is stored as Null.
    int AddHack(const QString& name, int hackType = 0, int mods = 0, int files = 0, const QString& lastInstall = {})
    {
        const int n = CreateHack(state, [&](Recordset& hack) {
            hack.SetValue("Name", name);
            hack.SetValue("Version", "1.0");
            hack.SetValue("AuthName", "Author of " + name);
            hack.SetValue("HackType", hackType);
            hack.SetValue("LastMod", "12-06-2001 2:49am");
            hack.SetValue("LastInstall", NullIfEmpty(lastInstall));
        });
        for (int i = 1; i <= mods; ++i)
            state.Connection.Execute(
                QString("INSERT INTO HackData (HackNum, ModOrder, FileName) VALUES (%1, %2, 'forum.cgi')")
                    .arg(n)
                    .arg(i));
        for (int i = 1; i <= files; ++i)
            state.Connection.Execute(
                QString("INSERT INTO HackFiles (HackNum, FileName) VALUES (%1, 'file%2.gif')").arg(n).arg(i));
        return n;
    }
};

} // namespace zp::test
