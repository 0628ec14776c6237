#pragma once

#include "encoder/byte_streams.h"

#include <string>

namespace zp {

// Opens the input, creates the output and runs a stream routine over them; false when a file cannot
// be opened, the routine fails, or a read or write fails. The observer follows the reading.
template <class Routine>
bool RunFileRoutine(const std::string& inputPath,
                    const std::string& outputPath,
                    Routine routine,
                    const ReadObserver& observer)
{
    FileReader in;
    if (!in.open(inputPath))
        return false;
    in.observe(observer);
    FileWriter out;
    if (!out.create(outputPath))
        return false;
    bool ok = routine(in, out);
    ok = out.close() && ok;
    return ok && !in.failed();
}

} // namespace zp
