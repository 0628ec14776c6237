#include "authoring/recording.h"

#include "app/ansi_text.h"
#include "app/app_state.h"
#include "app/board_directories.h"
#include "authoring/copy_files.h"
#include "authoring/line_mods.h"
#include "core/board_text.h"

#include <QFileInfo>
#include <algorithm>
#include <optional>
#include <utility>

namespace zp {

std::optional<Placement> PlaceFolder(const BoardLayout& layout, const QString& folder)
{
    std::optional<Placement> best;
    qsizetype bestLength = -1;
    const int count = int(LocationNames(layout.hackType).size());
    for (int location = 0; location < count; ++location) {
        const QString dir = ResolveModDirectory(layout, location, QVariant());
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
    if (crs > 0)
        return QStringLiteral("a line ends in a lone CR: an installation writes CR LF or LF");
    if (crlf > 0 && lfs > 0)
        return QStringLiteral("mixed line ends (CR LF and LF in one file): an installation writes one kind");
    if (lf && crlf > 0)
        return QStringLiteral("CR LF line ends, but the record writes LF");
    if (!lf && lfs > 0)
        return QStringLiteral("LF line ends, but the record writes CR LF");
    if (lf && !bytes.isEmpty() && !bytes.endsWith('\n'))
        return QStringLiteral("no line break at the end, which LF line ends always write");
    return QString();
}

// Whether an installation writes the text as exactly these bytes, in the original's encoding. With
// CR LF line ends the text is encoded a stretch of whole lines at a time, so that a large file is
// never held encoded beside its text.
bool WritesAs(const QString& text, const BoardText& original, bool lf, QByteArrayView bytes)
{
    if (lf)
        return EncodeBoardText(ToLfLines(text), original.encoding, original.bom) == bytes;
    constexpr qsizetype kStretch = 1 << 20;
    qsizetype at = 0, from = 0;
    do {
        const qsizetype cut = from + kStretch < text.size() ? text.indexOf(u'\n', from + kStretch) : -1;
        const qsizetype to = cut < 0 ? text.size() : cut + 1;
        const QByteArray encoded
            = EncodeBoardText(QStringView(text).sliced(from, to - from), original.encoding, original.bom && from == 0);
        if (bytes.size() - at < encoded.size() || bytes.sliced(at, encoded.size()) != encoded)
            return false;
        at += encoded.size();
        from = to;
    } while (from < text.size());
    return at == bytes.size();
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
    if (!WritesAs(edited.text, original, lf, bytes)) {
        edited.reason = LineEndReason(bytes, lf);
        if (edited.reason.isEmpty())
            edited.reason = QStringLiteral("its bytes cannot be written in the original's encoding");
    }
    return edited;
}

// The texts of a changed file as the recorder compares them, or why they cannot be compared. The
// bytes are let go once decoded: a large file is held as its two texts only.
struct ChangedText
{
    QString before, after;
    QString reason;
};

ChangedText ReadChangedText(const FileChange& change, bool lf)
{
    ChangedText text;
    FileBytes before = ReadChangedFile(QFile::encodeName(change.originalPath), true);
    FileBytes after = ReadChangedFile(QFile::encodeName(change.editedPath), false);
    text.reason = before.Read() ? after.problem : QStringLiteral("the original is ") + before.problem;
    if (!text.reason.isEmpty())
        return text;
    if (IsBinary(before.bytes) || IsBinary(after.bytes)) {
        text.reason = QStringLiteral("a binary file changed: mods change text only");
        return text;
    }
    BoardText original = DecodeBoardText(std::exchange(before.bytes, {}));
    EditedText edited = ReadEdited(after.bytes, original, lf);
    text.reason = edited.reason;
    text.before = std::move(original.text);
    text.after = std::move(edited.text);
    return text;
}

// For a folder outside the layout of the hack type: when the other type's layout holds it, the
// advice to choose that type; else nothing.
QString OtherLayoutHint(const AppState& state, int hackType, const QString& folder)
{
    if (hackType != 0 && hackType != 1)
        return QString();
    const int other = 1 - hackType;
    if (!PlaceFolder(LayoutOf(state, other), folder))
        return QString();
    const QString name = other == 0 ? QStringLiteral("Ultimate Bulletin Board") : QStringLiteral("vBulletin");
    return QStringLiteral(" (it lies in the %1 layout: choose the type %1)").arg(name);
}

} // namespace

bool RecordedHack::AllRecorded() const
{
    return std::all_of(files.begin(), files.end(), [](const RecordedFile& file) { return file.Recorded(); });
}

RecordedHack BuildRecordedHack(AppState& state,
                               const RecordRequest& request,
                               const std::vector<FileChange>& changes,
                               const RecordProgress& progress)
{
    const BoardLayout layout = LayoutOf(state, request.hackType);
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
        const std::optional<Placement> place = PlaceFolder(layout, folder);
        if (!place) {
            file.reason
                = QStringLiteral("outside the board's directories") + OtherLayoutHint(state, request.hackType, folder);
        } else if (change.editedPath.isEmpty()) {
            file.reason = QStringLiteral("deleted: a hack cannot delete a file");
        } else if (change.originalPath.isEmpty()) {
            file.supportFile = true;
            hack.supportFiles.push_back({place->location, path.fileName(), NonEmpty(place->subPath)});
            hack.supportFilePaths.push_back(change.editedPath);
        } else {
            const ChangedText text = ReadChangedText(change, request.lfLineEnds);
            if (!text.reason.isEmpty()) {
                file.reason = text.reason;
                continue;
            }
            const TextChanges changed = RecordTextChanges(text.before, text.after);
            const std::vector<ModRecord>& mods = changed.mods;
            if (!changed.refusal.isEmpty()) {
                file.reason = changed.refusal;
                continue;
            }
            if (mods.empty()) {
                file.reason = QStringLiteral("only its line ends or encoding differ: mods change lines");
                continue;
            }
            for (const ModRecord& mod : mods) {
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
            file.mods = int(mods.size());
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
