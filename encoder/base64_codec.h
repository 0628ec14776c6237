#pragma once

#include "encoder/base64_kernels.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>

namespace zp {

inline constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Character classes of the decoder: a six-bit value, or one of these.
inline constexpr uint8_t kBase64Space = 0x80, kBase64Fill = 0x81, kBase64Invalid = 0x82;

inline constexpr std::array<uint8_t, 256> kBase64DecodeTable = [] {
    std::array<uint8_t, 256> table {};
    table.fill(kBase64Invalid);
    for (uint8_t i = 0; i < 64; ++i)
        table[static_cast<uint8_t>(kBase64Alphabet[i])] = i;
    table['\r'] = table['\n'] = table[' '] = table['\t'] = kBase64Space;
    table['='] = kBase64Fill;
    return table;
}();

// Base64 encoding with state kept across blocks of any size: the bytes of the open group of three and
// the characters on the current line. With a line length, a line break goes before the first
// character that would exceed it (only between groups, as the length is a multiple of four). Runs of
// whole groups go through the base64 kernels in use.
class Base64Encoder
{
public:
    explicit Base64Encoder(unsigned lineLength)
        : m_lineLength(lineLength)
    {
        assert(lineLength % 4 == 0);
    }

    template <class Out>
    void feed(const uint8_t* data, size_t n, Out& out)
    {
        while (m_count != 0 && n > 0) {
            m_group[m_count++] = *data++;
            --n;
            if (m_count == 3) {
                uint8_t* dst = out.reserve(6);
                out.commit(putGroup(dst, m_group));
                m_count = 0;
            }
        }
        if (n >= 3) {
            size_t groups = n / 3;
            const size_t breaks = m_lineLength == 0 ? 0 : groups * 4 / m_lineLength + 1;
            uint8_t* dst = out.reserve(groups * 4 + breaks * 2 + kBase64EncodeSlack);
            uint8_t* start = dst;
            const uint8_t* end = data + n;
            const Base64Kernels& kernels = Base64KernelsInUse();
            n -= groups * 3;
            while (groups > 0) {
                if (m_lineLength != 0 && m_column == m_lineLength && groups >= m_lineLength / 4) {
                    // Whole lines after a full one: at once, where the kernels can.
                    const size_t lineGroups = m_lineLength / 4;
                    const size_t lines = kernels.encodeLines(
                        data, groups / lineGroups, lineGroups * 3, static_cast<size_t>(end - data), dst);
                    data += lines * lineGroups * 3;
                    dst += lines * (m_lineLength + 2);
                    groups -= lines * lineGroups;
                    if (groups == 0)
                        break;
                }
                size_t run = groups; // the groups that go on the current line
                if (m_lineLength != 0) {
                    if (m_column == m_lineLength) {
                        *dst++ = '\r';
                        *dst++ = '\n';
                        m_column = 0;
                    }
                    run = std::min<size_t>(run, (m_lineLength - m_column) / 4);
                    m_column += static_cast<unsigned>(run * 4);
                }
                const size_t taken = kernels.encode(data, run * 3, static_cast<size_t>(end - data), dst);
                data += taken;
                dst += taken / 3 * 4;
                for (size_t i = taken / 3; i < run; ++i, data += 3, dst += 4)
                    putChars(dst, data);
                groups -= run;
            }
            out.commit(static_cast<size_t>(dst - start));
        }
        while (n-- > 0)
            m_group[m_count++] = *data++;
    }

    // Completes the open group with "=" or "==", then ends the line with CR LF when asked.
    template <class Out>
    void finish(Out& out, bool endLine)
    {
        uint8_t* dst = out.reserve(8);
        uint8_t* start = dst;
        if (m_count > 0) {
            dst = breakLine(dst);
            dst[0] = kBase64Alphabet[m_group[0] >> 2];
            if (m_count == 1) {
                dst[1] = kBase64Alphabet[(m_group[0] & 0x03) << 4];
                dst[2] = '=';
            } else {
                dst[1] = kBase64Alphabet[(m_group[0] & 0x03) << 4 | m_group[1] >> 4];
                dst[2] = kBase64Alphabet[(m_group[1] & 0x0f) << 2];
            }
            dst[3] = '=';
            dst += 4;
        }
        if (endLine) {
            *dst++ = '\r';
            *dst++ = '\n';
        }
        out.commit(static_cast<size_t>(dst - start));
        m_count = 0;
        m_column = 0;
    }

private:
    uint8_t* breakLine(uint8_t* dst)
    {
        if (m_lineLength != 0 && m_column == m_lineLength) {
            *dst++ = '\r';
            *dst++ = '\n';
            m_column = 0;
        }
        m_column += 4;
        return dst;
    }

    size_t putGroup(uint8_t* dst, const uint8_t* g)
    {
        uint8_t* start = dst;
        dst = breakLine(dst);
        putChars(dst, g);
        return static_cast<size_t>(dst + 4 - start);
    }

    static void putChars(uint8_t* dst, const uint8_t* g)
    {
        dst[0] = kBase64Alphabet[g[0] >> 2];
        dst[1] = kBase64Alphabet[(g[0] & 0x03) << 4 | g[1] >> 4];
        dst[2] = kBase64Alphabet[(g[1] & 0x0f) << 2 | g[2] >> 6];
        dst[3] = kBase64Alphabet[g[2] & 0x3f];
    }

    unsigned m_lineLength;
    unsigned m_column = 0;
    unsigned m_count = 0;
    uint8_t m_group[3] = {};
};

// Base64 decoding with state kept across blocks: the position in the group of four and its bits.
// CR, LF, space and tab are skipped wherever they fall. Any other byte outside the alphabet, a
// character after the "=" fill, or a group left with a single character fails the decode, so a
// success never hides lost data.
class Base64Decoder
{
public:
    template <class Out>
    bool feed(const uint8_t* data, size_t n, Out& out)
    {
        const uint8_t* end = data + n;
        while (data < end && !m_failed) {
            if (m_pos == 0 && !m_padded) {
                data = feedGroups(data, end, out);
                if (data == end)
                    break;
            }
            step(*data++, out);
        }
        return !m_failed;
    }

    // The end of the input: fails when a group holds one character only.
    bool finish()
    {
        if (m_pos == 1)
            m_failed = true;
        return !m_failed;
    }

    bool failed() const { return m_failed; }

private:
    enum : uint8_t { kSpace = kBase64Space, kFill = kBase64Fill, kInvalid = kBase64Invalid };

    static constexpr auto& kTable = kBase64DecodeTable;

    // Whole groups of four alphabet characters at once, through the kernels in use as far as they
    // go; stops before anything else.
    template <class Out>
    const uint8_t* feedGroups(const uint8_t* data, const uint8_t* end, Out& out)
    {
        size_t groups = static_cast<size_t>(end - data) / 4;
        if (groups == 0)
            return data;
        uint8_t* dst = out.reserve(groups * 3 + 32);
        uint8_t* start = dst;
        const size_t taken = Base64KernelsInUse().decode(data, groups * 4, dst);
        data += taken;
        dst += taken / 4 * 3;
        groups -= taken / 4;
        for (; groups > 0; --groups, data += 4) {
            uint8_t a = kTable[data[0]], b = kTable[data[1]], c = kTable[data[2]], d = kTable[data[3]];
            if ((a | b | c | d) & 0x80)
                break;
            uint32_t bits = uint32_t(a) << 18 | uint32_t(b) << 12 | uint32_t(c) << 6 | d;
            dst[0] = static_cast<uint8_t>(bits >> 16);
            dst[1] = static_cast<uint8_t>(bits >> 8);
            dst[2] = static_cast<uint8_t>(bits);
            dst += 3;
        }
        out.commit(static_cast<size_t>(dst - start));
        return data;
    }

    template <class Out>
    void step(uint8_t byte, Out& out)
    {
        uint8_t value = kTable[byte];
        if (value == kSpace)
            return;
        if (value == kFill) {
            if (m_pos == 1)
                m_failed = true;
            m_padded = true;
            return;
        }
        if (value == kInvalid || m_padded) {
            m_failed = true;
            return;
        }
        // Each byte is complete as soon as the second of its two characters has arrived.
        switch (m_pos) {
        case 1:
            out.put(static_cast<uint8_t>(m_bits << 2 | value >> 4));
            break;
        case 2:
            out.put(static_cast<uint8_t>(m_bits << 4 | value >> 2));
            break;
        case 3:
            out.put(static_cast<uint8_t>(m_bits << 6 | value));
            break;
        }
        m_bits = value;
        m_pos = (m_pos + 1) & 3;
    }

    unsigned m_pos = 0;
    uint8_t m_bits = 0;
    bool m_padded = false;
    bool m_failed = false;
};

} // namespace zp
