#include "encoder/encodings.h"
#include "encoder/file_routine.h"

#include <array>

namespace zp {

namespace {

constexpr size_t kEncodeBlock = 16;
constexpr size_t kDecodeBlock = 512;
constexpr unsigned kMaxLineBytes = 74; // input bytes on a line before a soft break
constexpr char kHexDigits[] = "0123456789ABCDEF";

constexpr std::array<bool, 256> makeLiteralTable()
{
    std::array<bool, 256> literal {};
    for (int c = 32; c <= 126; ++c)
        literal[c] = true;
    for (char c : std::string_view("!\"#$@[\\]^`{|}="))
        literal[static_cast<uint8_t>(c)] = false;
    literal['\r'] = literal['\n'] = true;
    return literal;
}
constexpr std::array<bool, 256> kLiteral = makeLiteralTable();

int hexValue(uint8_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Counts input bytes on the current line for the whole file. A space is held back until the next
// byte is known, so that a space before CR is escaped even when CR starts the next block.
class QuotedEncoder
{
public:
    void feed(const uint8_t* data, size_t n, FileWriter& out)
    {
        for (size_t i = 0; i < n; ++i)
            step(data[i], out);
    }
    void finish(FileWriter& out)
    {
        if (m_spaceHeld)
            out.put(' ');
    }

private:
    void step(uint8_t byte, FileWriter& out)
    {
        if (m_spaceHeld) {
            if (byte == '\r')
                out.write("=20", 3);
            else
                out.put(' ');
            m_spaceHeld = false;
        }
        if (byte == '\r' || byte == '\n')
            m_count = 0;
        if (m_count > kMaxLineBytes) {
            out.write("=\r\n", 3);
            m_count = 0;
        }
        if (byte == ' ') {
            m_spaceHeld = true;
        } else if (kLiteral[byte]) {
            out.put(byte);
        } else {
            uint8_t* dst = out.reserve(3);
            dst[0] = '=';
            dst[1] = static_cast<uint8_t>(kHexDigits[byte >> 4]);
            dst[2] = static_cast<uint8_t>(kHexDigits[byte & 0x0f]);
            out.commit(3);
        }
        ++m_count;
    }

    unsigned m_count = 0;
    bool m_spaceHeld = false;
};

// Phases: plain text, after "=", after "=" and one hexadecimal digit, after a soft line break that
// ended in CR (a following LF belongs to it). An "=" that starts no valid escape or line break is
// written as it stands, so nothing is dropped.
class QuotedDecoder
{
public:
    void feed(const uint8_t* data, size_t n, FileWriter& out)
    {
        for (size_t i = 0; i < n; ++i)
            step(data[i], out);
    }
    void finish(FileWriter& out)
    {
        writePending(out);
        m_phase = Phase::Plain;
    }

private:
    enum class Phase { Plain, AfterEquals, AfterDigit, AfterSoftCr };

    void writePending(FileWriter& out)
    {
        if (m_phase == Phase::AfterEquals) {
            out.put('=');
        } else if (m_phase == Phase::AfterDigit) {
            out.put('=');
            out.put(m_firstDigit);
        }
    }

    void step(uint8_t byte, FileWriter& out)
    {
        switch (m_phase) {
        case Phase::AfterEquals:
            if (byte == '\r' || byte == '\n') {
                m_phase = byte == '\r' ? Phase::AfterSoftCr : Phase::Plain;
                return;
            }
            if (hexValue(byte) >= 0) {
                m_firstDigit = byte;
                m_phase = Phase::AfterDigit;
                return;
            }
            break;
        case Phase::AfterDigit:
            if (int low = hexValue(byte); low >= 0) {
                out.put(static_cast<uint8_t>(hexValue(m_firstDigit) * 16 + low));
                m_phase = Phase::Plain;
                return;
            }
            break;
        case Phase::AfterSoftCr:
            m_phase = Phase::Plain;
            if (byte == '\n')
                return;
            break;
        case Phase::Plain:
            break;
        }
        writePending(out);
        if (byte == '=') {
            m_phase = Phase::AfterEquals;
        } else {
            out.put(byte);
            m_phase = Phase::Plain;
        }
    }

    Phase m_phase = Phase::Plain;
    uint8_t m_firstDigit = 0;
};

} // namespace

bool EncodeQuotedStream(FileReader& in, FileWriter& out)
{
    QuotedEncoder encoder;
    uint8_t block[kEncodeBlock];
    while (size_t n = in.read(block, sizeof block))
        encoder.feed(block, n, out);
    encoder.finish(out);
    return true;
}

bool DecodeQuotedStream(FileReader& in, FileWriter& out)
{
    QuotedDecoder decoder;
    uint8_t block[kDecodeBlock];
    while (size_t n = in.read(block, sizeof block))
        decoder.feed(block, n, out);
    decoder.finish(out);
    return true;
}

bool EncodeQuotedFile(const std::string& inputPath, const std::string& outputPath, const ReadObserver& observer)
{
    return RunFileRoutine(inputPath, outputPath, EncodeQuotedStream, observer);
}

bool DecodeQuotedFile(const std::string& inputPath, const std::string& outputPath, const ReadObserver& observer)
{
    return RunFileRoutine(inputPath, outputPath, DecodeQuotedStream, observer);
}

} // namespace zp
