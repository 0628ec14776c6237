#include "authoring/recording.h"

#include "app/ansi_text.h"
#include "app/app_state.h"
#include "app/board_directories.h"
#include "authoring/line_mods.h"
#include "core/board_text.h"
#include "install/trial_installation.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <algorithm>
#include <map>
#include <optional>

namespace zp {

namespace {

// Every file below the root, by relative path; with the symbolic links among them.
std::map<QString, QFileInfo> FilesBelow(const QString& root)
{
    std::map<QString, QFileInfo> files;
    if (root.isEmpty() || !QFileInfo(root).isDir())
        return files;
    const QDir base(root);
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info = it.nextFileInfo();
        files.emplace(base.relativeFilePath(info.filePath()), info);
    }
    return files;
}

bool SameBytes(const QFileInfo& a, const QFileInfo& b)
{
    return a.size() == b.size() && TrialInstallation::Bytes(a.filePath()) == TrialInstallation::Bytes(b.filePath());
}

} // namespace

std::optional<Placement> PlaceFolder(const AppState& state, const QString& folder)
{
    std::optional<Placement> best;
    qsizetype bestLength = -1;
    const int count = int(LocationNames(state.CurrentHackType).size());
    for (int location = 0; location < count; ++location) {
        const QString dir = ResolveModDirectory(state, location, QVariant());
        const bool holds = dir.isEmpty() || folder == dir || folder.startsWith(dir + u'/');
        if (!holds || dir.size() <= bestLength)
            continue;
        bestLength = dir.size();
        const QString rest = dir.isEmpty() ? folder : folder.mid(dir.size());
        best = Placement {location, rest};
    }
    return best;
}

namespace {

OptText NonEmpty(const QString& text)
{
    return text.isEmpty() ? OptText() : OptText(text);
}

bool IsBinary(const QByteArray& bytes)
{
    return bytes.contains('\0');
}

// The edited bytes as the work buffer would hold them when read in the original's encoding; with a
// reason when an installation, which writes the whole file in the original's encoding with one kind
// of line end, cannot give exactly these bytes.
struct EditedText
{
    QString text;
    QString reason;
};

QString LineEndReason(const QByteArray& bytes, bool lf)
{
    const qsizetype crlf = bytes.count("\r\n");
    const qsizetype lfs = bytes.count('\n') - crlf;
    const qsizetype crs = bytes.count('\r') - crlf;
    if (crs > 0 || (crlf > 0 && lfs > 0))
        return QStringLiteral("mixed line ends (CR LF and LF in one file): an installation writes one kind");
    if (lf && crlf > 0)
        return QStringLiteral("CR LF line ends, but the record writes LF");
    if (!lf && lfs > 0)
        return QStringLiteral("LF line ends, but the record writes CR LF");
    if (lf && !bytes.isEmpty() && !bytes.endsWith('\n'))
        return QStringLiteral("no line break at the end, which LF line ends always write");
    return QString();
}

EditedText ReadEdited(const QByteArray& bytes, const BoardText& original, bool lf)
{
    EditedText edited;
    if (original.encoding == TextEncoding::Windows1252) {
        edited.text = ToCrLf(FromWindows1252(bytes));
    } else {
        const BoardText decoded = DecodeBoardText(bytes);
        if (decoded.encoding != TextEncoding::Utf8) {
            edited.reason = QStringLiteral("not valid UTF-8 as the original is: an installation writes UTF-8");
            return edited;
        }
        if (decoded.bom != original.bom) {
            edited.reason = QStringLiteral("byte order mark added or removed");
            return edited;
        }
        edited.text = decoded.text;
    }
    if (EncodeBoardText(lf ? ToLfLines(edited.text) : edited.text, original.encoding, original.bom) != bytes) {
        edited.reason = LineEndReason(bytes, lf);
        if (edited.reason.isEmpty())
            edited.reason = QStringLiteral("its bytes cannot be written in the original's encoding");
    }
    return edited;
}

} // namespace

HackTypeScope::HackTypeScope(AppState& state, int hackType)
    : state_(state)
    , type_(state.CurrentHackType)
    , table_(state.DirectoryTable)
{
    state.CurrentHackType = qint16(hackType);
    LoadDirectoryTable(state);
}

HackTypeScope::~HackTypeScope()
{
    state_.CurrentHackType = type_;
    state_.DirectoryTable = table_;
}

bool RecordedHack::AllRecorded() const
{
    return std::all_of(files.begin(), files.end(), [](const RecordedFile& file) { return file.Recorded(); });
}

std::vector<FileChange> CompareFolders(const QString& originalRoot, const QString& editedRoot)
{
    const std::map<QString, QFileInfo> original = FilesBelow(originalRoot);
    const std::map<QString, QFileInfo> edited = FilesBelow(editedRoot);
    std::vector<FileChange> changes;
    for (const auto& [path, info] : edited) {
        const auto before = original.find(path);
        FileChange change {path, QString(), info.filePath(), QString()};
        if (before != original.end())
            change.originalPath = before->second.filePath();
        if (info.isSymLink())
            change.reason = QStringLiteral("a symbolic link");
        else if (before != original.end() && !before->second.isSymLink() && SameBytes(before->second, info))
            continue;
        changes.push_back(change);
    }
    for (const auto& [path, info] : original) {
        if (!edited.contains(path) && !info.isSymLink())
            changes.push_back({path, info.filePath(), QString(), QString()});
    }
    std::sort(changes.begin(), changes.end(), [](const FileChange& a, const FileChange& b) {
        return a.relativePath < b.relativePath;
    });
    return changes;
}

RecordedHack BuildRecordedHack(AppState& state,
                               const RecordRequest& request,
                               const std::vector<FileChange>& changes,
                               const RecordProgress& progress)
{
    const HackTypeScope scope(state, request.hackType);
    RecordedHack hack;
    hack.info = request.info;
    hack.info.HackType = request.hackType;
    int done = 0;
    for (const FileChange& change : changes) {
        if (progress && !progress(done++, int(changes.size()))) {
            hack.cancelled = true;
            return hack;
        }
        RecordedFile& file = hack.files.emplace_back(RecordedFile {change.relativePath, 0, false, change.reason});
        if (!file.Recorded())
            continue;
        const QFileInfo path(change.relativePath);
        const QString folder = path.path() == QStringLiteral(".") ? QString() : path.path();
        const std::optional<Placement> place = PlaceFolder(state, folder);
        if (!place) {
            file.reason = QStringLiteral("outside the board's directories");
        } else if (change.editedPath.isEmpty()) {
            file.reason = QStringLiteral("deleted: a hack cannot delete a file");
        } else if (change.originalPath.isEmpty()) {
            file.supportFile = true;
            hack.supportFiles.push_back({place->location, path.fileName(), NonEmpty(place->subPath)});
            hack.supportFilePaths.push_back(change.editedPath);
        } else {
            const QByteArray before = TrialInstallation::Bytes(change.originalPath);
            const QByteArray after = TrialInstallation::Bytes(change.editedPath);
            if (IsBinary(before) || IsBinary(after)) {
                file.reason = QStringLiteral("a binary file changed: mods change text only");
                continue;
            }
            const BoardText original = DecodeBoardText(before);
            const EditedText edited = ReadEdited(after, original, request.lfLineEnds);
            if (!edited.reason.isEmpty()) {
                file.reason = edited.reason;
                continue;
            }
            const std::optional<std::vector<ModRecord>> mods = RecordTextChanges(original.text, edited.text);
            if (!mods) {
                file.reason = QStringLiteral("the original is empty: a mod has no line to find");
                continue;
            }
            if (mods->empty()) {
                file.reason = QStringLiteral("only its line ends or encoding differ: mods change lines");
                continue;
            }
            for (const ModRecord& mod : *mods) {
                ModEntry entry;
                entry.FileName = path.fileName();
                entry.ModOrder = hack.mods.size() + 1;
                entry.PrimaryDir = place->location;
                entry.ExtendDir = place->subPath;
                entry.ActionType = mod.ActionType;
                entry.ModInst = mod.ModInst;
                entry.OldData = mod.OldData;
                entry.NewData = mod.NewData;
                hack.mods.push_back(entry);
            }
            file.mods = int(mods->size());
        }
    }
    if (progress)
        progress(done, int(changes.size()));
    return hack;
}

HackInfoFields RecordedHackInfo(const AppState& state, const QString& name)
{
    HackInfoFields info;
    info.Name = name;
    info.Version = QStringLiteral("0.0.1");
    info.AuthName = NonEmpty(state.cfgAuthName);
    info.AuthEmail = NonEmpty(state.cfgAuthEmail);
    info.HomePage = NonEmpty(state.cfgAuthHomePage);
    info.UpdateURL = NonEmpty(state.cfgAuthUpdate);
    info.Copyright = NonEmpty(state.cfgAuthCopyright);
    return info;
}

} // namespace zp
