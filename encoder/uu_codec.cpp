#include "encoder/encodings.h"
#include "encoder/file_routine.h"

namespace zp {

namespace {

constexpr size_t kLineBytes = 45;
constexpr size_t kLineBuffer = 1024; // lines of up to 1023 characters

uint8_t uuChar(unsigned value)
{
    return static_cast<uint8_t>(32 + (value & 0x3f));
}

unsigned uuValue(uint8_t c)
{
    return (c - 32u) & 0x3f;
}

// Lines end at CR, LF or CR LF. A last line without an end is delivered too; a line that does not
// fit the buffer is passed over whole.
class LineReader
{
public:
    explicit LineReader(FileReader& in)
        : m_in(in)
    {
    }

    bool next(std::string_view& line)
    {
        for (;;) {
            int c = m_in.get();
            if (c < 0)
                return false;
            size_t len = 0;
            bool tooLong = false;
            while (c >= 0 && c != '\r' && c != '\n') {
                if (len < kLineBuffer - 1)
                    m_line[len++] = static_cast<char>(c);
                else
                    tooLong = true;
                c = m_in.get();
            }
            if (c == '\r' && m_in.peek() == '\n')
                m_in.get();
            if (!tooLong) {
                line = std::string_view(m_line, len);
                return true;
            }
        }
    }

private:
    FileReader& m_in;
    char m_line[kLineBuffer];
};

} // namespace

bool EncodeUuStream(FileReader& in, FileWriter& out, std::string_view fileName)
{
    out.write("begin 644 ", 10);
    out.write(fileName.data(), fileName.size());
    out.write("\r\n", 2);
    uint8_t block[kLineBytes + 2];
    while (size_t n = in.read(block, kLineBytes)) {
        block[n] = block[n + 1] = 0; // the positions past n of the last group carry zero bits
        uint8_t* dst = out.reserve(64);
        uint8_t* start = dst;
        *dst++ = uuChar(static_cast<unsigned>(n));
        for (size_t i = 0; i < n; i += 3) {
            const uint8_t* g = block + i;
            *dst++ = uuChar(g[0] >> 2);
            *dst++ = uuChar((g[0] << 4 | g[1] >> 4) & 0x3f);
            *dst++ = uuChar((g[1] << 2 | g[2] >> 6) & 0x3f);
            *dst++ = uuChar(g[2] & 0x3f);
        }
        *dst++ = '\r';
        *dst++ = '\n';
        out.commit(static_cast<size_t>(dst - start));
    }
    out.write(" \r\nend\r\n", 8);
    return true;
}

bool DecodeUuStream(FileReader& in, FileWriter& out)
{
    LineReader lines(in);
    std::string_view line;
    do {
        if (!lines.next(line))
            return false;
    } while (!line.starts_with("begin "));

    while (lines.next(line)) {
        // An empty line counts as the zero-length line whose blank was stripped in transit.
        unsigned n = line.empty() ? 0 : uuValue(static_cast<uint8_t>(line[0]));
        if (n == 0)
            return lines.next(line) && line == "end";
        // Characters missing at the end of a short line count as blanks (zero bits).
        auto value = [&](size_t i) { return i < line.size() ? uuValue(static_cast<uint8_t>(line[i])) : 0u; };
        uint8_t* dst = out.reserve(66);
        for (unsigned done = 0, i = 1; done < n; i += 4) {
            uint32_t bits = value(i) << 18 | value(i + 1) << 12 | value(i + 2) << 6 | value(i + 3);
            for (int shift = 16; shift >= 0 && done < n; shift -= 8)
                dst[done++] = static_cast<uint8_t>(bits >> shift);
        }
        out.commit(n);
    }
    return false;
}

bool EncodeUuFile(const std::string& inputPath, const std::string& outputPath, const ReadObserver& observer)
{
    std::string_view name = inputPath;
    if (size_t slash = name.find_last_of('/'); slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    return RunFileRoutine(
        inputPath,
        outputPath,
        [name](FileReader& in, FileWriter& out) { return EncodeUuStream(in, out, name); },
        observer);
}

bool DecodeUuFile(const std::string& inputPath, const std::string& outputPath, const ReadObserver& observer)
{
    return RunFileRoutine(inputPath, outputPath, DecodeUuStream, observer);
}

} // namespace zp
