#pragma once

#include <string>

namespace zp {

// The folder for temporary files: $TMP, else $TEMP, when it names an existing folder; otherwise /tmp.
std::string TempFolder();

// Creates a new empty file "~R" + five hexadecimal digits of the millisecond tick + "." + extension
// in the temporary folder and returns its path; when that name is taken, the next free one counting
// up from it. Empty when every such name is taken or the folder is not writable. The name is upper
// case, so the path reads the same in upper case.
std::string MakeTempFile(const std::string& extension);

} // namespace zp
