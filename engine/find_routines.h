#pragma once

#include <QString>

namespace zp {

// The full path of the first file called fileName in folder or, depth first, in its subfolders;
// "" when there is none or the folder does not exist. In each folder a file of exactly that name
// wins over one whose name differs only in letter case, and both win over the subfolders, which
// are searched in sorted name order. Symbolic links to folders are not entered, and a linked file
// counts only when it points inside the searched tree.
QString FindFileInTree(const QString& fileName, const QString& folder);

} // namespace zp
