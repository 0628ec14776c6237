#include "board_tree.h"

#include "boardcheck/hack_port.h"
#include "boardcheck/hack_trials.h"
#include "boardcheck/line_merge.h"
#include "boardcheck/mod_carry.h"
#include "core/board_text.h"
#include "install/trial_installation.h"

#include <random>

namespace zp::testing {
namespace {

// Random boards, hacks and releases: whatever the port stores installs over the new release as
// the three-way merge of each file, and a file whose merge conflicts never ports whole.
class PortPropertyTest : public BoardTree
{
protected:
    int Pick(int below) { return std::uniform_int_distribution<int>(0, below - 1)(random); }
    bool Chance(int percent) { return Pick(100) < percent; }

    // A file as bytes: LF or CR LF breaks, UTF-8 with or without a BOM or Windows-1252.
    QByteArray Bytes(const QStringList& lines)
    {
        const QString text = lines.join(Chance(50) ? "\r\n" : "\n") + "\r\n";
        if (Chance(30))
            return text.toLatin1();
        return (Chance(30) ? QByteArray("\xEF\xBB\xBF") : QByteArray()) + text.toUtf8();
    }

    QStringList Board()
    {
        QStringList lines;
        for (int i = 0, n = 8 + Pick(10); i < n; ++i)
            lines << (Chance(15) ? QStringLiteral("}")
                                 : QStringLiteral("line %1%2").arg(i).arg(Chance(20) ? "\u00e9" : ""));
        return lines;
    }

    // Up to three mods, each on whole lines of the text the ones before it leave.
    void AddHackOver(const QString& file, QString text, int number)
    {
        const int hack = AddHack(QStringLiteral("Hack %1").arg(number));
        for (int order = 1, mods = 1 + Pick(3); order <= mods; ++order) {
            QStringList lines = text.split("\r\n");
            lines.removeLast();
            const int at = Pick(int(lines.size()));
            const int count = at + 1 < lines.size() && Chance(40) ? 2 : 1;
            const QString old = lines.mid(at, count).join("\r\n");
            const int action = Pick(6);
            const QString added = QStringLiteral("mod %1.%2").arg(number).arg(order);
            QString neu = action == Replace ? old + "\r\n" + added : action == Delete ? QString() : added;
            int instance = 1;
            const qsizetype offset = lines.mid(0, at).join("\r\n").size() + (at > 0 ? 2 : 0);
            while (FindInstance(text, old, instance) != offset)
                ++instance;
            AddMod(hack, order, file, 0, "", action, instance, old, neu);
            text = AppliedMod(text, {action, instance, old, neu, file, {}}).value();
        }
    }

    QStringList Release(QStringList lines)
    {
        for (int i = Pick(4); i > 0; --i)
            lines.insert(Pick(int(lines.size()) + 1), QStringLiteral("release %1").arg(i));
        if (Chance(40))
            lines.removeAt(Pick(int(lines.size())));
        for (int i = Pick(3); i > 0; --i)
            lines[Pick(int(lines.size()))] += " changed";
        for (int i = Pick(3); i > 0; --i) { // a line duplicated above itself
            const int at = Pick(int(lines.size()));
            lines.insert(Pick(at + 1), lines[at]);
        }
        return lines;
    }

    QString Text(const QString& path) { return DecodeBoardText(Read(path)).text; }

    std::mt19937 random {20261210};
};

TEST_F(PortPropertyTest, StoredHacksInstallAsTheMergeAndConflictsNeedAPerson)
{
    const QString release = home.filePath("release");
    int ported = 0, conflicts = 0;
    for (int round = 0; round < 12; ++round) {
        std::map<int, QString> fileOf;
        for (int h = 0; h < 4; ++h) {
            const QString file = QStringLiteral("r%1h%2.cgi").arg(round).arg(h);
            const QStringList board = Board();
            Write(source + "/cgi-bin/" + file, Bytes(board));
            if (!Chance(8))
                Write(release + "/cgi-bin/" + file, Bytes(Release(board)));
            AddHackOver(file, Text(source + "/cgi-bin/" + file), round * 10 + h);
            fileOf[state.CurrentHackNum] = "cgi-bin/" + file;
        }
        std::vector<int> hacks;
        for (const auto& entry : fileOf)
            hacks.push_back(entry.first);
        const PortResult result = RunPort(state, {source, release, hacks, true, false, "new", {}});
        for (const PortedHack& hack : result.Hacks) {
            const QString file = fileOf[hack.Hack.HackNum];
            SCOPED_TRACE(file.toStdString());
            SelectHack(hack.Hack.HackNum);
            TrialInstallation ours(source);
            TryHack(state, hack.Hack.HackNum, ours);
            LineTable table;
            const LineMerge merge = MergeLines(
                table.Number(Text(source + "/" + file)),
                table.Number(DecodeBoardText(TrialInstallation::Bytes(ours.Files()[0].workFile)).text),
                table.Number(QFile::exists(release + "/" + file) ? Text(release + "/" + file) : QString()));
            if (!merge.Clean() || !QFile::exists(release + "/" + file)) {
                ++conflicts;
                EXPECT_NE(hack.Verdict, HackVerdict::Ported);
                EXPECT_EQ(hack.StoredAs, 0);
            }
            if (merge.Clean()) {
                for (const PortedMod& mod : hack.Mods)
                    EXPECT_NE(mod.Reason, "the release changed the lines it changes");
            }
            if (hack.StoredAs == 0)
                continue;
            ++ported;
            SelectHack(hack.StoredAs);
            TrialInstallation theirs(release);
            TryHack(state, hack.StoredAs, theirs);
            const QString installed = theirs.Files().empty()
                ? Text(release + "/" + file)
                : DecodeBoardText(TrialInstallation::Bytes(theirs.Files()[0].workFile)).text;
            EXPECT_EQ(installed, table.Join(merge.lines));
        }
    }
    EXPECT_GT(ported, 10);
    EXPECT_GT(conflicts, 3);
}

} // namespace
} // namespace zp::testing
