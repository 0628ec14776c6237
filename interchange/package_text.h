#pragma once

#include "database/text_limit.h"

#include <QFile>
#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <stdexcept>

namespace zp {

// Appends one block to the package text: the start marker line with the label, every line of the
// base64 file, the end marker line; each line ended by CR LF. Throws std::runtime_error.
void AppendBlock(QIODevice& package, const QString& encodedFile, const QString& label);

// A package text that cannot be split into blocks; number and text name the fault.
class PackageError : public std::runtime_error
{
public:
    PackageError(int number, const QString& description)
        : std::runtime_error(description.toStdString())
        , number(number)
    {
    }
    int number;
};

// Text that is no package text at all: its first line begins no file block.
class NotAPackageError : public PackageError
{
public:
    NotAPackageError()
        : PackageError(5, QStringLiteral("Text outside a file block in line 1"))
    {
    }
};

// The largest hack description an import reads (it is read whole); support files are streamed. It
// carries the hack's texts, which the catalogue reads up to the same size.
inline constexpr qint64 MaxDescriptionSize = MaxTextRowBytes;

// A package that is not taken as a hack file: a block label that would name a file outside the
// exchange folder (a path separator or ".."), or a description larger than MaxDescriptionSize.
class RefusedPackageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// One decoded block: its label, its name (base name "." extension of the label) and the decoded file.
struct PackageBlock
{
    QString label;
    QString name;
    QString path;
};

struct UnpackedPackage
{
    std::optional<PackageBlock> description; // the first block whose extension is "zpx"
    QList<PackageBlock> files; // every other block, in package order
};

// base64 decoding of one file into another (the encoder's DecodeFile).
using DecodeFileFn = std::function<void(const QString& input, const QString& output)>;

// Splits the package text into its blocks. Each block's data lines go to a file of their own in
// the exchange folder and are decoded into another, named by the block's position, so that blocks
// with the same label stay apart and no label ever becomes a path. The files are made afresh: a
// name already taken in the exchange folder (a link planted there) is refused. Lines are read in pieces, so a
// long one never lies whole in memory. Throws PackageError for damaged text (NotAPackageError when
// the first line is no start marker), RefusedPackageError
// (as soon as it shows, for a description over maxDescriptionSize bytes); errors of `decode` pass
// through.
UnpackedPackage SplitPackageText(const QString& packageFile,
                                 const QString& exchangeFolder,
                                 const DecodeFileFn& decode,
                                 qint64 maxDescriptionSize = MaxDescriptionSize);

// True when the zlib stream in the file expands to at most `limit` bytes; false when it expands to
// more or is not a complete zlib stream. Reads the stream without writing anything.
bool ExpandsWithin(const QString& hackFile, qint64 limit);

} // namespace zp
