#pragma once

#include "encoder/byte_streams.h"

#include <sys/stat.h>

#include <cstdio>
#include <string>

namespace zp {

// What a failed routine leaves of its output: what it wrote, or nothing (a regular file is
// removed; a device named as output stays).
enum class PartialOutput { Keep, Remove };

// Opens the input, creates the output and runs a stream routine over them; false when a file cannot
// be opened, the routine fails, or a read or write fails. The observer follows the reading.
template <class Routine>
bool RunFileRoutine(const std::string& inputPath,
                    const std::string& outputPath,
                    Routine routine,
                    const ReadObserver& observer,
                    PartialOutput partial = PartialOutput::Keep)
{
    FileReader in;
    if (!in.open(inputPath))
        return false;
    in.observe(observer);
    FileWriter out;
    if (!out.create(outputPath))
        return false;
    bool ok = routine(in, out);
    ok = out.close() && ok && !in.failed();
    struct stat output
    {
    };
    if (!ok && partial == PartialOutput::Remove && stat(outputPath.c_str(), &output) == 0 && S_ISREG(output.st_mode))
        std::remove(outputPath.c_str());
    return ok;
}

} // namespace zp
