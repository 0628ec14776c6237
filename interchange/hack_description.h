#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>
#include <stdexcept>

namespace zp {

// The version this program writes into every hack description.
inline constexpr const char* ZenpatchVersion = "2.0.1";

using OptText = std::optional<QString>; // a nullable text field
using OptNumber = std::optional<qint64>; // a nullable integer field

// The HackInfo fields that travel in a hack description.
struct HackInfoFields
{
    OptNumber HackType;
    OptText Name;
    OptText AuthName;
    OptText AuthEmail;
    OptText HomePage;
    OptText UpdateURL;
    OptText Copyright;
    OptText Version;
    OptText PreInstallCom;
    OptText PostInstallCom;
    OptText Comments;

    bool operator==(const HackInfoFields&) const = default;
};

// One HackFiles row as the support file list names it (its bytes travel as a block of their own).
struct SupportFileEntry
{
    OptNumber Location;
    QString FileName;
    OptText CustomDir;

    bool operator==(const SupportFileEntry&) const = default;
};

// One HackData row.
struct ModEntry
{
    OptText FileName;
    OptNumber ModInst;
    OptNumber ModOrder;
    OptNumber PrimaryDir;
    OptText ExtendDir;
    OptText OldData;
    OptText NewData;
    OptNumber ActionType;
    OptText Comment;

    bool operator==(const ModEntry&) const = default;
};

struct HackDescription
{
    QString VersionText; // the ZPKVersion value as read
    bool TooOld = false; // the version is older than 2.0.0: nothing after it was read
    HackInfoFields Info;
    bool HasRemFiles = false; // a RemFiles key was read
    QList<SupportFileEntry> SupportFiles;
    QList<ModEntry> Mods;
};

// A description that cannot be read. NotAHackFile: no ZPKVersion as the first key, or a second one.
// Otherwise `number` and the text are the run-time error that stopped the reading.
class DescriptionError : public std::runtime_error
{
public:
    DescriptionError(int number, const QString& description)
        : std::runtime_error(description.toStdString())
        , number(number)
    {
    }
    static constexpr int NotAHackFile = -1;
    int number;
};

// The text of a support file list line: Location " - " FileName " - " CustomDir "|" per entry.
QString RemFilesLine(const QList<SupportFileEntry>& files);

// The whole description file: start marker, version, information, support file list (or the
// empty line in its place), the mods, end marker. Windows-1252 when every value fits, else UTF-8;
// the key delimiter is three bytes 0xEC either way.
QByteArray WriteHackDescription(const QString& exportName,
                                const HackInfoFields& info,
                                const QList<SupportFileEntry>& files,
                                const QList<ModEntry>& mods);

// Reads a description. Throws DescriptionError. Empty values come back as Null; when no RemFiles
// key was read, the placeholder line break after the comments is dropped.
HackDescription ReadHackDescription(const QByteArray& bytes);

// The version text with every "." removed, compared as text with "200".
bool IsVersionTooOld(const QString& version);

} // namespace zp
