#include "interchange/hack_description.h"

#include "app/ansi_text.h"
#include "interchange/package_markers.h"

#include <QByteArrayList>
#include <functional>

namespace zp {

namespace {

const QByteArray KeyDelimiter("\xEC\xEC\xEC");
const QByteArray LineEnd("\r\n");

// Keys in the order the writer emits them.
enum class Key {
    ZPKVersion,
    HackType,
    Name,
    Author,
    AuthorEmail,
    HomePageURL,
    UpdateURL,
    Copyright,
    Version,
    PreInstall,
    PostInstall,
    Comments,
    RemFiles,
    FileName,
    ModInst,
    ModOrder,
    PrimaryDir,
    ExtendDir,
    OldData,
    NewData,
    Action,
    ModComment,
};

constexpr const char* KeyNames[] = {
    "ZPKVersion", "HackType",   "Name",        "Author",   "AuthorEmail", "HomePageURL", "UpdateURL", "Copyright",
    "Version",    "PreInstall", "PostInstall", "Comments", "RemFiles",    "FileName",    "ModInst",   "ModOrder",
    "PrimaryDir", "ExtendDir",  "OldData",     "NewData",  "Action",      "ModComment",
};

QByteArray KeyLine(Key key)
{
    return KeyDelimiter + KeyNames[int(key)] + KeyDelimiter;
}

std::optional<Key> KeyOfLine(const QByteArray& line)
{
    if (line.size() < 2 * KeyDelimiter.size() || !line.startsWith(KeyDelimiter) || !line.endsWith(KeyDelimiter))
        return std::nullopt;
    QByteArray name = line.mid(KeyDelimiter.size(), line.size() - 2 * KeyDelimiter.size());
    for (int k = 0; k < int(std::size(KeyNames)); ++k) {
        if (name == KeyNames[k])
            return Key(k);
    }
    return std::nullopt;
}

// " 12 " for 12, "-3 " for -3: the form numbers take in the description.
QByteArray NumberText(qint64 n)
{
    return (n < 0 ? QByteArray::number(n) : " " + QByteArray::number(n)) + " ";
}

class DescriptionWriter
{
public:
    explicit DescriptionWriter(bool utf8)
        : utf8_(utf8)
    {
    }

    void Line(const QString& text) { AppendLine(Encode(text)); }
    void Key(Key key) { AppendLine(KeyLine(key)); }
    void Text(const OptText& value) { AppendLine(value ? Encode(*value) : QByteArray()); }
    void Number(const OptNumber& value, const QByteArray& whenNull = {})
    {
        AppendLine(value ? NumberText(*value) : whenNull);
    }
    QByteArray Bytes() const { return out_; }

private:
    QByteArray Encode(const QString& text) const { return utf8_ ? text.toUtf8() : ToWindows1252(text); }
    void AppendLine(const QByteArray& bytes)
    {
        out_ += bytes;
        out_ += LineEnd;
    }

    bool utf8_;
    QByteArray out_;
};

// Every text the description will hold, to choose its encoding.
QString
AllTexts(const QString& exportName, const HackInfoFields& info, const QString& remFiles, const QList<ModEntry>& mods)
{
    QString all = exportName + remFiles;
    for (const OptText* t : {&info.Name,
                             &info.AuthName,
                             &info.AuthEmail,
                             &info.HomePage,
                             &info.UpdateURL,
                             &info.Copyright,
                             &info.Version,
                             &info.PreInstallCom,
                             &info.PostInstallCom,
                             &info.Comments})
        all += t->value_or(QString());
    for (const ModEntry& m : mods) {
        for (const OptText* t : {&m.FileName, &m.ExtendDir, &m.OldData, &m.NewData, &m.Comment})
            all += t->value_or(QString());
    }
    return all;
}

QByteArrayList SplitLines(const QByteArray& bytes)
{
    QByteArrayList lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf(LineEnd, start);
        if (end < 0) {
            lines.append(bytes.mid(start));
            break;
        }
        lines.append(bytes.mid(start, end - start));
        start = end + LineEnd.size();
    }
    return lines;
}

bool HasMarker(const QByteArray& line)
{
    return line.contains(StartFileMarker) || line.contains(EndFileMarker);
}

class DescriptionReader
{
public:
    explicit DescriptionReader(const QByteArray& bytes)
        : lines_(SplitLines(bytes))
    {
        QByteArray withoutDelimiters = bytes;
        withoutDelimiters.replace(KeyDelimiter, QByteArray());
        utf8_ = IsValidUtf8(withoutDelimiters);
    }

    HackDescription Read()
    {
        HackDescription d;
        bool sawVersion = false;
        while (pos_ < lines_.size()) {
            const QByteArray& line = lines_[pos_++];
            if (HasMarker(line))
                continue;
            std::optional<Key> key = KeyOfLine(line);
            if (!key)
                continue;
            // The version comes first and once: anything else is not a description of one hack.
            bool isVersion = *key == Key::ZPKVersion;
            if (isVersion == sawVersion)
                throw DescriptionError(DescriptionError::NotAHackFile, "not a hack description");
            if (isVersion) {
                sawVersion = true;
                d.VersionText = Decode(NextLine());
                if (IsVersionTooOld(d.VersionText)) {
                    d.TooOld = true;
                    return d;
                }
                continue;
            }
            Dispatch(*key, d);
        }
        if (!sawVersion)
            throw DescriptionError(DescriptionError::NotAHackFile, "not a hack description");
        if (!d.HasRemFiles && d.Info.Comments && d.Info.Comments->endsWith(QLatin1String("\r\n"))) {
            d.Info.Comments->chop(2);
            if (d.Info.Comments->isEmpty())
                d.Info.Comments.reset();
        }
        return d;
    }

private:
    void Dispatch(Key key, HackDescription& d)
    {
        HackInfoFields& info = d.Info;
        switch (key) {
        case Key::ZPKVersion:
            break;
        case Key::HackType:
            info.HackType = NumberValue();
            break;
        case Key::Name:
            info.Name = TextValue();
            break;
        case Key::Author:
            info.AuthName = TextValue();
            break;
        case Key::AuthorEmail:
            info.AuthEmail = TextValue();
            break;
        case Key::HomePageURL:
            info.HomePage = TextValue();
            break;
        case Key::UpdateURL:
            info.UpdateURL = TextValue();
            break;
        case Key::Copyright:
            info.Copyright = TextValue();
            break;
        case Key::Version:
            info.Version = TextValue();
            break;
        case Key::PreInstall:
            info.PreInstallCom = MultiLineValue(false);
            break;
        case Key::PostInstall:
            info.PostInstallCom = MultiLineValue(false);
            break;
        case Key::Comments:
            info.Comments = MultiLineValue(false);
            break;
        case Key::RemFiles:
            d.HasRemFiles = true;
            d.SupportFiles += ParseRemFiles(Decode(NextLine()));
            break;
        case Key::FileName:
            d.Mods.append(ModEntry {});
            modHasCount_ = false;
            d.Mods.last().FileName = TextValue();
            break;
        default:
            DispatchModKey(key, d.Mods.isEmpty() ? nullptr : &d.Mods.last());
        }
    }

    // Mod keys before the first FileName key have no row to go to and are passed over.
    void DispatchModKey(Key key, ModEntry* mod)
    {
        ModEntry ignored;
        ModEntry& m = mod ? *mod : ignored;
        switch (key) {
        case Key::ModInst:
            m.ModInst = CountValue();
            break;
        case Key::ModOrder:
            m.ModOrder = CountValue();
            break;
        case Key::PrimaryDir:
            m.PrimaryDir = NumberValue();
            break;
        case Key::ExtendDir:
            m.ExtendDir = TextValue();
            break;
        case Key::OldData:
            m.OldData = MultiLineValue(false);
            break;
        case Key::NewData:
            m.NewData = MultiLineValue(false);
            break;
        case Key::Action:
            m.ActionType = NumberValue();
            break;
        case Key::ModComment:
            m.Comment = MultiLineValue(true);
            if (!modHasCount_)
                m.ModInst = 1;
            break;
        default:
            break;
        }
    }

    void RequireLine() const
    {
        if (pos_ >= lines_.size())
            throw DescriptionError(62, "Input past end of file");
    }

    const QByteArray& NextLine()
    {
        RequireLine();
        return lines_[pos_++];
    }

    QString Decode(const QByteArray& bytes) const { return utf8_ ? QString::fromUtf8(bytes) : FromWindows1252(bytes); }

    OptText TextValue()
    {
        const QByteArray& line = NextLine();
        return line.isEmpty() ? OptText() : OptText(Decode(line));
    }

    OptNumber NumberValue()
    {
        const QByteArray& line = NextLine();
        return line.isEmpty() ? OptNumber() : OptNumber(ParseNumber(line));
    }

    // ModInst and ModOrder: an empty value means 1; a given one marks the mod as counted.
    OptNumber CountValue()
    {
        const QByteArray& line = NextLine();
        if (line.isEmpty())
            return 1;
        modHasCount_ = true;
        return ParseNumber(line);
    }

    // Lines up to the next line that begins with the key delimiter (which is dispatched next);
    // a line with the delimiter elsewhere is dropped. A mod comment also ends before a marker.
    OptText MultiLineValue(bool stopAtMarker)
    {
        RequireLine();
        QByteArray value;
        while (pos_ < lines_.size()) {
            const QByteArray& line = lines_[pos_];
            if (line.startsWith(KeyDelimiter) || (stopAtMarker && HasMarker(line)))
                break;
            ++pos_;
            if (!line.contains(KeyDelimiter))
                value += line + LineEnd;
        }
        value.chop(LineEnd.size());
        return value.isEmpty() ? OptText() : OptText(Decode(value));
    }

    QList<SupportFileEntry> ParseRemFiles(const QString& line) const
    {
        QStringList entries = line.split(QLatin1Char('|'));
        entries.removeLast();
        QList<SupportFileEntry> files;
        for (const QString& entry : entries) {
            QStringList parts = entry.split(QLatin1String(" - "));
            if (parts.size() < 3)
                throw DescriptionError(9, "Subscript out of range");
            QString location = parts[0].trimmed();
            files.append({location.isEmpty() ? OptNumber() : OptNumber(ParseNumber(location.toLatin1())),
                          parts[1],
                          parts[2].isEmpty() ? OptText() : OptText(parts[2])});
        }
        return files;
    }

    static qint64 ParseNumber(const QByteArray& text)
    {
        bool ok = false;
        qint64 n = text.trimmed().toLongLong(&ok);
        if (!ok)
            throw DescriptionError(13, "Type mismatch");
        return n;
    }

    QByteArrayList lines_;
    qsizetype pos_ = 0;
    bool utf8_ = false;
    bool modHasCount_ = false;
};

} // namespace

QString RemFilesLine(const QList<SupportFileEntry>& files)
{
    QString line;
    for (const SupportFileEntry& f : files) {
        line += (f.Location ? QString::number(*f.Location) : QString()) + " - " + f.FileName + " - "
            + f.CustomDir.value_or(QString()) + "|";
    }
    return line;
}

QByteArray WriteHackDescription(const QString& exportName,
                                const HackInfoFields& info,
                                const QList<SupportFileEntry>& files,
                                const QList<ModEntry>& mods)
{
    const QString label = exportName + ".zpx";
    const QString remFiles = RemFilesLine(files);
    DescriptionWriter w(!FitsWindows1252(AllTexts(label, info, remFiles, mods)));

    w.Line(QString::fromLatin1(StartFileMarker) + label);
    w.Key(Key::ZPKVersion);
    w.Line(QString::fromLatin1(ZenpatchVersion));
    w.Key(Key::HackType);
    w.Number(info.HackType);
    const std::pair<Key, const OptText*> texts[] = {
        {Key::Name, &info.Name},
        {Key::Author, &info.AuthName},
        {Key::AuthorEmail, &info.AuthEmail},
        {Key::HomePageURL, &info.HomePage},
        {Key::UpdateURL, &info.UpdateURL},
        {Key::Copyright, &info.Copyright},
        {Key::Version, &info.Version},
        {Key::PreInstall, &info.PreInstallCom},
        {Key::PostInstall, &info.PostInstallCom},
        {Key::Comments, &info.Comments},
    };
    for (const auto& [key, value] : texts) {
        w.Key(key);
        w.Text(*value);
    }
    if (files.isEmpty()) {
        w.Line(QString());
    } else {
        w.Key(Key::RemFiles);
        w.Line(remFiles);
    }
    for (const ModEntry& m : mods) {
        w.Key(Key::FileName);
        w.Text(m.FileName);
        w.Key(Key::ModInst);
        w.Number(m.ModInst, "1");
        w.Key(Key::ModOrder);
        w.Number(m.ModOrder, "1");
        w.Key(Key::PrimaryDir);
        w.Number(m.PrimaryDir);
        w.Key(Key::ExtendDir);
        w.Text(m.ExtendDir);
        w.Key(Key::OldData);
        w.Text(m.OldData);
        w.Key(Key::NewData);
        w.Text(m.NewData);
        w.Key(Key::Action);
        w.Number(m.ActionType);
        w.Key(Key::ModComment);
        w.Text(m.Comment);
    }
    w.Line(QString::fromLatin1(EndFileMarker) + label);
    return w.Bytes();
}

HackDescription ReadHackDescription(const QByteArray& bytes)
{
    return DescriptionReader(bytes).Read();
}

bool IsVersionTooOld(const QString& version)
{
    QString digits = version;
    digits.remove(QLatin1Char('.'));
    return digits < QLatin1String("200");
}

} // namespace zp
