#include "interchange/hack_unpack.h"

#include "app/common.h"
#include "encoder/encoder_error.h"
#include "interchange/encoder_calls.h"
#include "interchange/interchange_common.h"
#include "interchange/package_text.h"

#include <QFile>

namespace zp {

namespace {

QByteArray ReadWholeFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ImportError {75, "Path/File access error: " + path + ": " + file.errorString()};
    return file.readAll();
}

// The decoded block of each support file entry. The n-th entry of a name takes the n-th block
// of that name, so duplicates keep their own bytes. A block matches by its file name (base name
// "." extension), by its whole label, or by its file name in another letter case: then the file
// takes the block's name, the name its bytes came with.
QList<QString> MatchSupportFiles(QList<SupportFileEntry>& entries, const QList<PackageBlock>& blocks)
{
    QList<bool> used(blocks.size(), false);
    auto take = [&](const QString& name, auto&& matches) -> const PackageBlock* {
        for (qsizetype i = 0; i < blocks.size(); ++i) {
            if (!used[i] && matches(blocks[i], name)) {
                used[i] = true;
                return &blocks[i];
            }
        }
        return nullptr;
    };
    QList<QString> paths;
    for (SupportFileEntry& entry : entries) {
        const PackageBlock* block
            = take(entry.FileName, [](const PackageBlock& b, const QString& n) { return b.name == n || b.label == n; });
        if (!block) {
            block = take(entry.FileName, [](const PackageBlock& b, const QString& n) {
                return b.name.compare(n, Qt::CaseInsensitive) == 0;
            });
            if (block)
                entry.FileName = block->name;
        }
        if (!block)
            throw ImportError {53, "File not found: " + entry.FileName};
        paths.append(block->path);
    }
    return paths;
}

// Expands the hack file, splits the package text and reads the description.
} // namespace

QString ConfinementProblem(const HackDescription& d)
{
    for (const SupportFileEntry& f : d.SupportFiles) {
        if (!IsPlainFileName(f.FileName))
            return QStringLiteral("the support file name \"%1\" is not a plain file name").arg(f.FileName);
        if (!IsConfinedSubPath(f.CustomDir.value_or(QString())))
            return QStringLiteral("the folder \"%1\" of the support file %2 leads out of its location")
                .arg(*f.CustomDir, f.FileName);
    }
    for (const ModEntry& m : d.Mods) {
        const QString name = m.FileName.value_or(QString());
        if (!IsConfinedSubPath(m.ExtendDir.value_or(QString())))
            return QStringLiteral("the folder \"%1\" of a mod of %2 leads out of its location").arg(*m.ExtendDir, name);
        if (!IsConfinedSubPath(name))
            return QStringLiteral("the file name \"%1\" of a mod leads out of its folder").arg(name);
    }
    return QString();
}

UnpackedHack UnpackHackFile(const QString& path, const QString& exchange, FileEncoder* encoder)
{
    EncoderCalls fe(encoder);
    const QString packageText = exchange + "/" + FileNameOf(path) + ".dec";
    // Anything but a regular file is refused as it is opened: a FIFO would hold the import for ever.
    {
        QFile file;
        if (const QString reason = OpenRegularFile(file, path); !reason.isEmpty())
            throw ImportError {75, "Cannot read " + path + ": " + reason};
    }
    if (!ExpandsWithin(path, MaxPackageTextSize))
        throw InvalidHackFile {};
    try {
        fe.ExpandFile(path, packageText);
    } catch (const EncoderError&) {
        throw InvalidHackFile {};
    }
    UnpackedPackage package;
    try {
        package = SplitPackageText(
            packageText, exchange, [&fe](const QString& in, const QString& out) { fe.DecodeFile(in, out); });
    } catch (const RefusedPackageError&) {
        throw InvalidHackFile {};
    } catch (const NotAPackageError& e) {
        throw ImportError {e.number, FileNameOf(path) + " is not a hack file (its first line begins no file block)"};
    } catch (const PackageError& e) {
        throw ImportError {e.number, QString::fromStdString(e.what())};
    } catch (const EncoderError& e) {
        throw ImportError {e.number(), QString::fromStdString(e.description())};
    }
    if (!package.description)
        throw InvalidHackFile {};

    UnpackedHack hack;
    try {
        hack.description = ReadHackDescription(ReadWholeFile(package.description->path));
    } catch (const DescriptionError& e) {
        if (e.number == DescriptionError::NotAHackFile)
            throw InvalidHackFile {};
        throw ImportError {e.number, QString::fromStdString(e.what())};
    }
    if (hack.description.TooOld)
        return hack;
    if (!ConfinementProblem(hack.description).isEmpty())
        throw InvalidHackFile {};
    hack.supportFilePaths = MatchSupportFiles(hack.description.SupportFiles, package.files);
    return hack;
}

} // namespace zp
