#include "interchange_fixture.h"

#include "app/common.h"
#include "core/catalogue_operations.h"
#include "database/recordset.h"
#include "database/sql.h"
#include "interchange/hack_fields.h"

#include <QFile>
#include <zlib.h>

namespace zp::test {

void InterchangeFixture::SetUp()
{
    ProgramFolderFixture::SetUp();
    ASSERT_TRUE(out.isValid());
    state.Connection.Execute("UPDATE [MainConfig] SET [SourceDir] = '/board', [OutputDir] = '"
                             + folder.filePath("output")
                             + "', [ubbCGIDir] = 'cgi-bin', [ubbTemplatesDir] = 'templates/default', "
                               "[vbRootDir] = 'forum', [vbImagesDir] = 'images', [vbSmiliesDir] = 'images/smilies'");
    LoadConfiguration(state);
    dialogs.messages.clear();
}

qint64 InterchangeFixture::AddHack(const HackInfoFields& info,
                                   const QList<ModEntry>& mods,
                                   const QList<SupportFileData>& files)
{
    const qint64 num = CreateHack(state, [&](Recordset& rs) { WriteHackInfoFields(rs, info); });

    Recordset data(state.Connection);
    data.Open(sql::SelectHackData);
    for (const ModEntry& m : mods) {
        data.AddNew();
        data.SetValue("HackNum", num);
        WriteModEntry(data, m);
        data.Update();
    }

    Recordset support(state.Connection);
    support.Open(sql::SelectHackFilesOf + QString::number(num));
    for (const SupportFileData& f : files) {
        support.AddNew();
        support.SetValue("HackNum", num);
        support.SetValue("Location", FieldValue(f.entry.Location));
        support.SetValue("FileName", f.entry.FileName);
        support.SetValue("CustomDir", FieldValue(f.entry.CustomDir));
        support.AppendChunk("FileData", f.bytes);
        support.Update();
    }
    return num;
}

qint64 InterchangeFixture::AddLogoHack(const QByteArray& help, const QByteArray& logo)
{
    QList<SupportFileEntry> entries = LogoHackFiles();
    // Stored in the other order, so that the export's ordering by name shows.
    return AddHack(LogoHackInfo(), LogoHackMods(), {{entries[1], logo}, {entries[0], help}});
}

void InterchangeFixture::SelectHack(qint64 hackNum)
{
    ASSERT_TRUE(FindHack(state, QString::number(hackNum)));
}

int InterchangeFixture::Count(const char* table)
{
    Recordset rs(state.Connection);
    rs.Open(QString("SELECT * FROM [%1]").arg(table));
    return rs.RecordCount();
}

HackInfoFields InterchangeFixture::InfoOf(qint64 hackNum)
{
    Recordset rs(state.Connection);
    rs.Open("SELECT * FROM [HackInfo] WHERE [HackNum] = " + QString::number(hackNum));
    return ReadHackInfoFields(rs);
}

QList<ModEntry> InterchangeFixture::ModsOf(qint64 hackNum)
{
    Recordset rs(state.Connection);
    rs.Open(sql::SelectHackDataOf + QString::number(hackNum) + sql::OrderByFileNameUpper);
    QList<ModEntry> mods;
    for (rs.MoveFirst(); !rs.EOF(); rs.MoveNext())
        mods.append(ReadModEntry(rs));
    return mods;
}

QList<SupportFileData> InterchangeFixture::FilesOf(qint64 hackNum)
{
    Recordset rs(state.Connection);
    rs.Open(sql::SelectHackFilesOf + QString::number(hackNum) + sql::OrderByFileName);
    QList<SupportFileData> files;
    for (rs.MoveFirst(); !rs.EOF(); rs.MoveNext()) {
        QByteArray bytes;
        for (QByteArray chunk = rs.GetChunk("FileData", 16384); !chunk.isEmpty();
             chunk = rs.GetChunk("FileData", 16384))
            bytes += chunk;
        files.append({{NumberField(rs, "Location"), rs.Text("FileName"), TextField(rs, "CustomDir")}, bytes});
    }
    return files;
}

qint64 InterchangeFixture::LastHackNum()
{
    Recordset rs(state.Connection);
    rs.Open("SELECT * FROM [HackInfo] ORDER BY [HackNum]");
    rs.MoveLast();
    return rs.Value("HackNum").toLongLong();
}

ImportOutcome InterchangeFixture::Import(const QString& path, ImportDuplicate duplicate)
{
    return ShowImportEnd(dialogs, ImportHackFile(state, path, nullptr, duplicate));
}

QStringList InterchangeFixture::MessageTexts() const
{
    QStringList texts;
    for (const auto& m : dialogs.messages)
        texts.append(m.text);
    return texts;
}

QByteArray ReadBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

std::optional<QByteArray> Expand(const QString& path)
{
    QByteArray packed = ReadBytes(path);
    z_stream zs {};
    if (inflateInit(&zs) != Z_OK)
        return std::nullopt;
    zs.next_in = reinterpret_cast<Bytef*>(packed.data());
    zs.avail_in = uInt(packed.size());
    QByteArray out;
    char buffer[65536];
    int rc = Z_OK;
    while (rc == Z_OK) {
        zs.next_out = reinterpret_cast<Bytef*>(buffer);
        zs.avail_out = sizeof buffer;
        rc = inflate(&zs, Z_NO_FLUSH);
        out.append(buffer, qsizetype(sizeof buffer - zs.avail_out));
    }
    inflateEnd(&zs);
    return rc == Z_STREAM_END ? std::optional<QByteArray>(out) : std::nullopt;
}

QByteArray Compress(const QByteArray& bytes)
{
    uLongf size = compressBound(uLong(bytes.size()));
    QByteArray packed(qsizetype(size), 0);
    compress2(reinterpret_cast<Bytef*>(packed.data()),
              &size,
              reinterpret_cast<const Bytef*>(bytes.data()),
              uLong(bytes.size()),
              6);
    packed.resize(qsizetype(size));
    return packed;
}

} // namespace zp::test
