#include "authoring/line_buffer.h"

#include <QHash>
#include <QSet>
#include <QtGlobal>

namespace zp {

LineBuffer::LineBuffer(const QStringList& lines)
    : after_(lines.rbegin(), lines.rend())
{
}

void LineBuffer::MoveTo(qsizetype at)
{
    while (qsizetype(before_.size()) > at) {
        after_.push_back(std::move(before_.back()));
        before_.pop_back();
    }
    while (qsizetype(before_.size()) < at) {
        before_.push_back(std::move(after_.back()));
        after_.pop_back();
    }
}

void LineBuffer::insert(qsizetype at, const QStringList& lines)
{
    MoveTo(at);
    before_.insert(before_.end(), lines.begin(), lines.end());
}

void LineBuffer::remove(qsizetype at, qsizetype count)
{
    MoveTo(at);
    after_.resize(after_.size() - size_t(count));
}

QString LineBuffer::join(const QString& separator) const
{
    QString text;
    for (qsizetype i = 0; i < size(); ++i) {
        if (i > 0)
            text += separator;
        text += at(i);
    }
    return text;
}

namespace {

// Shift-and over the lines from `from` on: after a line, bit j of `state` says that the j + 1 lines
// ending there contain parts 0 to j. Which parts a line contains is asked once per distinct line
// text and distinct part (at most 64 of them).
qsizetype FindAllStartsAtOnce(const LineBuffer& lines, const QStringList& parts, qsizetype from)
{
    const qsizetype k = parts.size();
    const size_t words = size_t(k + 63) / 64;
    QStringList distinct;
    std::vector<std::vector<quint64>> where; // per distinct part: the bits of the parts it is
    for (qsizetype j = 0; j < k; ++j) {
        qsizetype d = distinct.indexOf(parts[j]);
        if (d < 0) {
            d = distinct.size();
            distinct << parts[j];
            where.emplace_back(words, 0);
        }
        where[size_t(d)][size_t(j) / 64] |= quint64(1) << (j % 64);
    }
    QHash<QString, quint64> contained; // line text -> the distinct parts it contains, a bit each
    QHash<quint64, std::vector<quint64>> allowed; // those parts -> the bits of the parts they are
    std::vector<quint64> state(words, 0);
    const quint64 lastBit = quint64(1) << ((k - 1) % 64);
    for (qsizetype at = from; at < lines.size(); ++at) {
        auto has = contained.find(lines.at(at));
        if (has == contained.end()) {
            quint64 bits = 0;
            for (qsizetype d = 0; d < distinct.size(); ++d)
                bits |= quint64(lines.at(at).contains(distinct[d])) << d;
            has = contained.insert(lines.at(at), bits);
        }
        auto mask = allowed.find(*has);
        if (mask == allowed.end()) {
            if (size_t(allowed.size()) * words > (size_t(1) << 22))
                allowed.clear(); // masks of many kinds of line: a memory bound, not a result
            std::vector<quint64> bits(words, 0);
            for (qsizetype d = 0; d < distinct.size(); ++d) {
                if (*has >> d & 1) {
                    for (size_t w = 0; w < words; ++w)
                        bits[w] |= where[size_t(d)][w];
                }
            }
            mask = allowed.insert(*has, std::move(bits));
        }
        quint64 carry = 1;
        for (size_t w = 0; w < words; ++w) {
            const quint64 out = state[w] >> 63;
            state[w] = ((state[w] << 1) | carry) & (*mask)[w];
            carry = out;
        }
        if (state[words - 1] & lastBit)
            return at - k + 1;
    }
    return -1;
}

} // namespace

qsizetype FindLines(const LineBuffer& lines, const QStringList& parts, qsizetype from)
{
    const qsizetype k = parts.size();
    qsizetype matched = 0; // lines compared beyond the first at each start
    bool together = true; // whether going on with all starts at once is possible
    for (qsizetype at = from; at + k <= lines.size(); ++at) {
        qsizetype j = 0;
        while (j < k && lines.at(at + j).contains(parts[j]))
            ++j;
        if (j == k)
            return at;
        matched += j;
        if (together && matched > 8 * (at - from) + 1024) {
            together = QSet<QString>(parts.begin(), parts.end()).size() <= 64;
            if (together)
                return FindAllStartsAtOnce(lines, parts, at + 1);
        }
    }
    return -1;
}

} // namespace zp
