#pragma once

#include "interchange/hack_description.h"
#include "interchange/hack_import.h"
#include "interchange_test_support.h"
#include "program_folder_fixture.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace zp::test {

// A support file with its bytes.
struct SupportFileData
{
    SupportFileEntry entry;
    QByteArray bytes;
};

// A program folder with a configured database, in which tests add hacks and select them as the
// hack list does.
class InterchangeFixture : public ProgramFolderFixture
{
protected:
    void SetUp() override;

    qint64 AddHack(const HackInfoFields& info, const QList<ModEntry>& mods, const QList<SupportFileData>& files);
    // The small hack of the golden files, with the given support file bytes (help.txt, logo.gif).
    qint64 AddLogoHack(const QByteArray& help = "Read me.\r\n", const QByteArray& logo = "GIF89a");
    void SelectHack(qint64 hackNum);

    int Count(const char* table);
    HackInfoFields InfoOf(qint64 hackNum);
    QList<ModEntry> ModsOf(qint64 hackNum);
    QList<SupportFileData> FilesOf(qint64 hackNum);
    // The HackNum of the hack added last.
    qint64 LastHackNum();

    QString ExchangeFolder() const { return folder.filePath("enctemp"); }
    QString Out(const QString& name = QString()) const { return out.path() + (name.isEmpty() ? "" : "/" + name); }
    QStringList MessageTexts() const;
    // An import as its window runs it: the job, then its closing message shown.
    ImportOutcome Import(const QString& path, ImportDuplicate duplicate = ImportDuplicate::Ask);

    QTemporaryDir out;
};

QByteArray ReadBytes(const QString& path);
void WriteBytes(const QString& path, const QByteArray& bytes);
// The content of a zlib stream file, or nothing when it is not one.
std::optional<QByteArray> Expand(const QString& path);
QByteArray Compress(const QByteArray& bytes);

} // namespace zp::test
