#include "board_tree.h"

#include "app/common.h"
#include "app/configuration.h"
#include "core/catalogue_operations.h"
#include "database/database.h"
#include "database/recordset.h"
#include "database/sql.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace zp::testing {

BoardTree::BoardTree()
    : source(home.filePath("board"))
    , output(home.filePath("out"))
    , state(home.path(), dialogs)
{
    Database::CreateNew(home.filePath(Database::FileName));
    OpenDatabase(state);
    OptionsValues values;
    values.SourceDir = source;
    values.OutputDir = output;
    values.ubbCGIDir = "cgi-bin";
    values.ubbNonCGIDir = "html";
    values.ubbTemplatesDir = "templates";
    values.vbRootDir = "forum";
    values.cfgDelOutputDir = 0;
    QDir().mkpath(source);
    EXPECT_EQ(SaveOptions(state, values).outcome, OptionsSave::Saved);
    LoadConfiguration(state);
}

BoardTree::~BoardTree()
{
    CloseDatabase(state);
}

int BoardTree::AddHack(const QString& name, int hackType)
{
    const int hack = CreateHack(state, [&](Recordset& info) {
        info.SetValue("Name", name);
        info.SetValue("HackType", hackType);
    });
    SelectHack(hack);
    return hack;
}

void BoardTree::AddMod(int hack,
                       int order,
                       const QString& file,
                       int primaryDir,
                       const QString& extendDir,
                       int action,
                       int inst,
                       const QString& oldData,
                       const QString& newData,
                       const QString& comment)
{
    Recordset mods(state.Connection);
    mods.Open(sql::SelectHackData);
    mods.AddNew();
    mods.SetValue("HackNum", hack);
    mods.SetValue("ModOrder", order);
    mods.SetValue("FileName", file);
    mods.SetValue("PrimaryDir", primaryDir);
    mods.SetValue("ExtendDir", extendDir);
    mods.SetValue("ActionType", action);
    mods.SetValue("ModInst", inst);
    mods.SetValue("OldData", oldData);
    mods.SetValue("NewData", newData);
    mods.SetValue("Comment", NullIfEmpty(comment));
    mods.Update();
}

void BoardTree::AddSupportFile(
    int hack, const QString& name, int location, const QString& customDir, const QByteArray& data)
{
    Recordset files(state.Connection);
    files.Open(sql::SelectHackFilesOf + QString::number(hack));
    files.AddNew();
    files.SetValue("HackNum", hack);
    files.SetValue("FileName", name);
    files.SetValue("Location", location);
    files.SetValue("CustomDir", NullIfEmpty(customDir));
    files.AppendChunk("FileData", data);
    files.Update();
}

void BoardTree::SelectHack(int hack)
{
    ASSERT_TRUE(FindHack(state, QString::number(hack)));
}

void BoardTree::Write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(bytes);
}

QByteArray BoardTree::Read(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

bool BoardTree::Exists(const QString& path)
{
    return QFileInfo::exists(path);
}

QStringList BoardTree::FilesBelow(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

} // namespace zp::testing
