#pragma once

#include "database/database.h"

namespace zp {

// The longest text the program reads from one row of the database; a hack file's description,
// which carries all of a hack's texts, is held to the same size.
inline constexpr int MaxTextRowBytes = 64 << 20;

// A row whose texts together are longer than MaxTextRowBytes, refused rather than read.
class TextTooLongError : public DatabaseError
{
public:
    using DatabaseError::DatabaseError;
};

} // namespace zp
