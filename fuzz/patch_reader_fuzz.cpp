// libFuzzer target over the unified-diff reader: arbitrary bytes are read as a patch, and every file
// it names is patched onto an empty file and onto the input itself. A hunk's texts must lie within
// its file's buffers, and a patch that applies must leave its new lines in the result.
#include "authoring/patch_apply.h"
#include "fuzz_support.h"

#include <cstdint>
#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    std::vector<zp::FilePatch> files;
    try {
        files = zp::ParseUnifiedDiff(bytes);
    } catch (const std::runtime_error&) {
        return 0;
    }
    for (const zp::FilePatch& file : files) {
        for (const zp::PatchHunk& hunk : file.hunks) {
            zp::fuzz::Require(hunk.oldFrom >= 0 && hunk.oldFrom + hunk.oldSize <= file.oldText.size());
            zp::fuzz::Require(hunk.newFrom >= 0 && hunk.newFrom + hunk.newSize <= file.newText.size());
        }
        for (const std::optional<QByteArray>& before : {std::optional<QByteArray>(), std::optional(bytes)}) {
            QString reason;
            const std::optional<QByteArray> after = zp::ApplyFilePatch(file, before, reason);
            zp::fuzz::Require(after.has_value() == reason.isEmpty());
            for (const zp::PatchHunk& hunk : file.hunks)
                zp::fuzz::Require(!after || after->contains(file.New(hunk)));
        }
    }
    return 0;
}
