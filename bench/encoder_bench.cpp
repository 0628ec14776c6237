// Throughput and peak memory of the encoding library on large files, beside coreutils base64 and
// gzip (pigz -z -p1 when installed, for the same zlib stream). Each job runs in a fresh process,
// so its peak RSS is its own, and three times; the best time counts.
//
//   encoder_bench [--sizes 64,256] [--folder DIR]      sizes in MiB; DIR defaults to $TMPDIR or /tmp
#include "bench/timing.h"
#include "encoder/file_encoder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

struct Outcome
{
    double seconds;
    long peakRssKiB;
    bool ok;
};

// Text-like content (words, punctuation, CR LF line ends), as hack files carry.
void writeInput(const std::string& path, size_t bytes)
{
    static const char* words[]
        = {"the",  "board", "hack", "template", "$vbulletin", "if",   "(",    ")",     "{", "}",
           "<tr>", "echo",  "=",    ";",        "forum",      "user", "0x7f", "admin", "'", "\""};
    std::mt19937 random(42);
    FILE* out = std::fopen(path.c_str(), "wb");
    std::string line;
    for (size_t written = 0; written < bytes;) {
        line.clear();
        while (line.size() < 60)
            (line += words[random() % 20]) += ' ';
        line += "\r\n";
        size_t n = std::min(line.size(), bytes - written);
        std::fwrite(line.data(), 1, n, out);
        written += n;
    }
    std::fclose(out);
}

// Runs argv in a child, three times, with stdout sent to stdoutPath (when not empty) and the job's
// output file `made` removed before each run: the best wall time and the highest peak RSS. Each run
// starts with every earlier write on the disk, so no job pays for the writing back of another's
// output (or of the input, written just before the first job).
Outcome runChild(const std::vector<std::string>& argv, const std::string& stdoutPath, const std::string& made)
{
    Outcome outcome {0, 0, true};
    outcome.seconds = zp::bench::Best(
        [&] {
            std::filesystem::remove(made);
            sync();
        },
        [&] {
            const zp::bench::ChildRun child = zp::bench::RunChild(argv, stdoutPath);
            outcome.peakRssKiB = std::max(outcome.peakRssKiB, child.peakRssKiB);
            outcome.ok &= child.status == 0;
        });
    return outcome;
}

// A job of this program that writes `made`.
Outcome
runSelf(const std::string& self, const char* operation, int encoding, const std::string& in, const std::string& made)
{
    return runChild({self, "run", operation, std::to_string(encoding), in, made}, "", made);
}

// A program whose standard output goes to `made`.
Outcome runTool(const std::vector<std::string>& argv, const std::string& made)
{
    return runChild(argv, made, made);
}

// The child side: one FileEncoder operation.
int runOperation(const char* operation, int16_t encoding, const char* in, const char* out)
{
    zp::FileEncoder fe;
    try {
        fe.SetEncoding(encoding);
        if (!std::strcmp(operation, "encode"))
            fe.EncodeFile(in, out);
        else if (!std::strcmp(operation, "decode"))
            fe.DecodeFile(in, out);
        else if (!std::strcmp(operation, "compress"))
            fe.CompressFile(in, out);
        else
            fe.ExpandFile(in, out);
    } catch (const zp::EncoderError& e) {
        std::fprintf(stderr, "%s: error %d: %s\n", operation, e.number(), e.description().c_str());
        return 1;
    }
    return 0;
}

// Prints one job's figures; false when the job failed.
bool report(const char* job, size_t mib, const Outcome& outcome)
{
    std::printf("%-32s %5zu MiB %8.3f s %9.1f MiB/s %8ld KiB%s\n",
                job,
                mib,
                outcome.seconds,
                mib / outcome.seconds,
                outcome.peakRssKiB,
                outcome.ok ? "" : "  FAILED");
    std::fflush(stdout);
    return outcome.ok;
}

bool installed(const char* program)
{
    return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 6 && !std::strcmp(argv[1], "run"))
        return runOperation(argv[2], static_cast<int16_t>(std::atoi(argv[3])), argv[4], argv[5]);

    std::vector<size_t> sizes {64, 256};
    const char* tmp = std::getenv("TMPDIR");
    std::filesystem::path folder = tmp ? tmp : "/tmp";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--sizes")) {
            sizes.clear();
            for (char* p = argv[i + 1]; *p;) {
                sizes.push_back(std::strtoul(p, &p, 10));
                if (*p == ',')
                    ++p;
            }
        } else if (!std::strcmp(argv[i], "--folder")) {
            folder = argv[i + 1];
        }
    }
    folder /= "xcoder32-bench-" + std::to_string(getpid());
    std::filesystem::create_directories(folder);
    auto file = [&](const char* name) { return (folder / name).string(); };
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const bool pigz = installed("pigz");

    bool ok = true;
    std::printf("%-32s %9s %10s %15s %12s\n", "job", "size", "time", "throughput", "peak RSS");
    for (size_t mib : sizes) {
        writeInput(file("input"), mib << 20);
        const char* names[] = {"base64", "uuencode", "quoted-printable"};
        for (int encoding = 0; encoding < 3; ++encoding) {
            const std::string job = std::string("xcoder32 ") + names[encoding];
            ok &= report(
                (job + " encode").c_str(), mib, runSelf(self, "encode", encoding, file("input"), file("encoded")));
            ok &= report(
                (job + " decode").c_str(), mib, runSelf(self, "decode", encoding, file("encoded"), file("decoded")));
        }
        ok &= report("coreutils base64 -w 72", mib, runTool({"base64", "-w", "72", file("input")}, file("core.b64")));
        ok &= report("coreutils base64 -d", mib, runTool({"base64", "-d", file("core.b64")}, file("core.out")));
        ok &= report(
            "xcoder32 base64 decode (same)", mib, runSelf(self, "decode", 0, file("core.b64"), file("decoded")));
        ok &= report("xcoder32 compress", mib, runSelf(self, "compress", 0, file("input"), file("packed")));
        ok &= report("xcoder32 expand", mib, runSelf(self, "expand", 0, file("packed"), file("expanded")));
        if (pigz)
            ok &= report("pigz -z -p1 -6", mib, runTool({"pigz", "-z", "-p1", "-6", "-c", file("input")}, file("gz")));
        else
            ok &= report("gzip -6 -c", mib, runTool({"gzip", "-6", "-c", file("input")}, file("gz")));
        for (const char* name : {"encoded", "decoded", "core.b64", "core.out", "packed", "expanded", "gz"})
            std::filesystem::remove(file(name));
    }
    std::filesystem::remove_all(folder);
    return ok ? 0 : 1;
}
