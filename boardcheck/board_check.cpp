#include "boardcheck/board_check.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>

namespace zp {

QString BoardFolderProblem(const QString& folder)
{
    const QFileInfo info(folder);
    if (!info.exists())
        return QCoreApplication::translate("BoardCheck", "There is no folder %1.").arg(folder);
    if (!info.isDir())
        return QCoreApplication::translate("BoardCheck", "%1 is a file, not a folder.").arg(folder);
    return QString();
}

QString UpgradeVerdictText(UpgradeVerdict verdict)
{
    switch (verdict) {
    case UpgradeVerdict::Fits:
        return QStringLiteral("fits");
    case UpgradeVerdict::BreaksOnUpgrade:
        return QStringLiteral("breaks on upgrade");
    case UpgradeVerdict::AlreadyBroken:
        return QStringLiteral("already broken");
    case UpgradeVerdict::FixedByUpgrade:
        return QStringLiteral("fixed by upgrade");
    }
    return QString();
}

bool UpgradeCheckResult::AllFit() const
{
    return std::all_of(
        Rows.begin(), Rows.end(), [](const UpgradeRow& row) { return row.Verdict == UpgradeVerdict::Fits; });
}

QString PairVerdictText(const ConflictPair& pair)
{
    switch (pair.Verdict) {
    case PairVerdict::Independent:
        return QStringLiteral("independent");
    case PairVerdict::OrderMatters:
        return QStringLiteral("order matters");
    case PairVerdict::FirstBreaksSecond:
        return pair.First.Name + QStringLiteral(" breaks ") + pair.Second.Name;
    case PairVerdict::SecondBreaksFirst:
        return pair.Second.Name + QStringLiteral(" breaks ") + pair.First.Name;
    case PairVerdict::Exclusive:
        return QStringLiteral("exclusive");
    }
    return QString();
}

bool Breaks(PairVerdict verdict)
{
    return verdict != PairVerdict::Independent && verdict != PairVerdict::OrderMatters;
}

bool ConflictCheckResult::AnyBreaks() const
{
    return std::any_of(Pairs.begin(), Pairs.end(), [](const ConflictPair& pair) { return Breaks(pair.Verdict); });
}

QString ConflictCheckResult::OrderText() const
{
    const auto names = [](const std::vector<CheckedHack>& hacks, const QString& separator) {
        QStringList joined;
        for (const CheckedHack& hack : hacks)
            joined << hack.Name;
        return joined.join(separator);
    };
    if (Cycle.empty())
        return names(SafeOrder, QStringLiteral(", "));
    return QStringLiteral("no safe order: ") + names(Cycle, QStringLiteral(" -> "));
}

} // namespace zp
