#include "engine/find_routines.h"

#include <QDir>
#include <QFileInfo>

namespace zp {

namespace {

bool InsideTree(const QFileInfo& file, const QString& canonicalRoot)
{
    if (!file.isSymLink())
        return true;
    const QString target = file.canonicalFilePath();
    return !target.isEmpty() && target.startsWith(canonicalRoot + u'/');
}

QString FindInFolder(const QString& fileName, const QDir& folder, const QString& canonicalRoot)
{
    // A plain file of exactly that name wins over everything else here: no listing needed.
    if (!fileName.contains(u'/')) {
        const QFileInfo exact(folder.filePath(fileName));
        if (!exact.isSymLink() && exact.isFile())
            return exact.filePath();
    }
    const QDir::Filters hiddenToo = QDir::Hidden | QDir::System;
    const QFileInfoList files = folder.entryInfoList(QDir::Files | hiddenToo, QDir::Name);
    const QFileInfo* caseMatch = nullptr;
    for (const QFileInfo& file : files) {
        if (!InsideTree(file, canonicalRoot))
            continue;
        if (file.fileName() == fileName)
            return file.filePath();
        if (!caseMatch && file.fileName().compare(fileName, Qt::CaseInsensitive) == 0)
            caseMatch = &file;
    }
    if (caseMatch)
        return caseMatch->filePath();

    const QFileInfoList folders = folder.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | hiddenToo, QDir::Name);
    for (const QFileInfo& sub : folders) {
        if (sub.isSymLink())
            continue;
        QString found = FindInFolder(fileName, QDir(sub.filePath()), canonicalRoot);
        if (!found.isEmpty())
            return found;
    }
    return QString();
}

} // namespace

QString FindFileInTree(const QString& fileName, const QString& folder)
{
    const QFileInfo root(folder);
    if (fileName.isEmpty() || !root.isDir())
        return QString();
    return FindInFolder(fileName, QDir(folder), root.canonicalFilePath());
}

} // namespace zp
