// libFuzzer target over the reader of written instructions: arbitrary bytes are read as the
// instructions text (headings, header lines, step bodies); the first bytes also split a text into
// file lines and FIND parts, whose first match must be the one a plain try at every start gives.
#include "authoring/line_buffer.h"
#include "authoring/step_instructions.h"
#include "core/board_text.h"
#include "fuzz_support.h"

#include <cstdint>

namespace {

qsizetype FirstStartTriedOneByOne(const QStringList& lines, const QStringList& parts, qsizetype from)
{
    for (qsizetype at = from; at + parts.size() <= lines.size(); ++at) {
        qsizetype j = 0;
        while (j < parts.size() && lines[at + j].contains(parts[j]))
            ++j;
        if (j == parts.size())
            return at;
    }
    return -1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = zp::DecodeBoardText(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size))).text;
    const zp::Instructions read = zp::ReadInstructions(text);
    for (const zp::InstructionStep& step : read.steps)
        zp::fuzz::Require(step.line >= 1 && step.name == step.name.simplified());

    // "lines|parts": one character a line, so that runs repeat and the search goes on with all
    // starts at once; parts of one character, or none.
    const qsizetype bar = text.indexOf(u'|');
    if (bar < 0 || bar == text.size() - 1)
        return 0;
    QStringList lines, parts;
    for (const QChar c : QStringView(text).first(bar))
        lines << QString(c);
    for (const QChar c : QStringView(text).sliced(bar + 1))
        parts << (c == u'.' ? QString() : QString(c));
    for (qsizetype from = 0; from <= lines.size(); from += 1 + lines.size() / 4) {
        const zp::LineBuffer buffer(lines);
        zp::fuzz::Require(zp::FindLines(buffer, parts, from) == FirstStartTriedOneByOne(lines, parts, from));
    }
    return 0;
}
