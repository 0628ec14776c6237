#pragma once

#include "core/install_log.h"

#include <ostream>

namespace zp {

// Failed expectations show log rows as the command line prints them.
inline void PrintTo(const LogRow& row, std::ostream* os)
{
    *os << '"' << FormatLogRow(row).toStdString() << '"';
    if (!row.why.isEmpty())
        *os << " (" << row.why.toStdString() << ')';
}

namespace testing {

inline LogRow Row(const QString& file,
                  const QString& action,
                  const QString& comment,
                  const QString& description,
                  bool red = false,
                  const QString& why = QString())
{
    return LogRow {file, action, comment, description, red, why};
}

// The engine's row for a mod whose old data was found.
inline LogRow Found(const QString& file, const QString& action)
{
    return Row(file, action, "Applying Mod", "Mod applied successfully");
}

} // namespace testing
} // namespace zp
