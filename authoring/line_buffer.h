#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace zp {

// The lines of a file that steps edit at a place that moves mostly forward: the lines before the
// place in one vector, those after it in another (the nearest last). Adding or removing lines costs
// only those lines and the lines the place passes on its way there, where a list would move every
// line behind them.
class LineBuffer
{
public:
    explicit LineBuffer(const QStringList& lines = {});

    qsizetype size() const { return qsizetype(before_.size() + after_.size()); }
    const QString& at(qsizetype i) const
    {
        const auto split = qsizetype(before_.size());
        return i < split ? before_[size_t(i)] : after_[after_.size() - 1 - size_t(i - split)];
    }
    QString& operator[](qsizetype i) { return const_cast<QString&>(at(i)); }

    void insert(qsizetype at, const QStringList& lines);
    void remove(qsizetype at, qsizetype count);
    QString join(const QString& separator) const;

private:
    void MoveTo(qsizetype at);

    std::vector<QString> before_, after_;
};

// The first line, from `from` on, where the lines in a row contain the parts in turn; -1 when there
// is none. Each start is tried in turn while that costs about one comparison a line; when the parts
// keep matching long stretches (lines that repeat), all starts go on at once, one pass over the
// lines with a bit per part.
qsizetype FindLines(const LineBuffer& lines, const QStringList& parts, qsizetype from);

} // namespace zp
