#include "analysis/frm_analyze.h"
#include "app/common.h"
#include "boardcheck/frm_board_check.h"
#include "boardcheck/frm_port_merge.h"
#include "catalogue/frm_edit_hack.h"
#include "catalogue/frm_hack_comm.h"
#include "catalogue/frm_hack_info.h"
#include "catalogue/frm_list_hacks.h"
#include "core/catalogue_operations.h"
#include "database/recordset.h"
#include "install/frm_diff_view.h"
#include "install/frm_install_hack.h"
#include "install/frm_revert_installation.h"
#include "interchange/file_encoder_dialogs.h"
#include "interchange/frm_export_text.h"
#include "interchange/frm_hack_export.h"
#include "interchange/frm_hack_import.h"
#include "program_folder_fixture.h"
#include "publish/frm_publish.h"
#include "shell/frm_about.h"
#include "shell/frm_options.h"
#include "shell/mdi_main.h"
#include "viewer/frm_text_file.h"
#include "widget_test_app.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>
#include <QTranslator>
#include <functional>

namespace zp::test {
namespace {

// What a window is made from: the program's state with one current hack, its main window, and a
// stand-in for the hack editor.
struct Program
{
    AppState& state;
    mdiMain& main;
    LongTextTarget& editor;
};

struct NoEditor : LongTextTarget
{
    void SetLongText(qint16, const QString&) override { }
};

// Every window of the program, parented to the main window. A new window joins here, one line each.
const std::vector<std::pair<const char*, std::function<QWidget*(Program&)>>> Windows = {
    {"mdiMain", [](Program& p) -> QWidget* { return &p.main; }},
    {"frmAbout", [](Program& p) -> QWidget* { return new frmAbout(&p.main, nullptr); }},
    {"frmOptions", [](Program& p) -> QWidget* { return new frmOptions(p.state, &p.main); }},
    {"frmListHacks", [](Program& p) -> QWidget* { return new frmListHacks(p.main, {}, &p.main); }},
    {"frmHackInfo", [](Program& p) -> QWidget* { return new frmHackInfo(p.state, &p.main); }},
    {"frmEditHack", [](Program& p) -> QWidget* { return new frmEditHack(p.main, &p.main); }},
    {"frmHackComm", [](Program& p) -> QWidget* { return new frmHackComm(p.editor, &p.main); }},
    {"frmTextFile", [](Program& p) -> QWidget* { return new frmTextFile(p.state, &p.main); }},
    {"frmInstallHack", [](Program& p) -> QWidget* { return new frmInstallHack(p.main, &p.main); }},
    {"frmDiffView",
     [](Program& p) -> QWidget* {
         return new frmDiffView(p.state, "Hack", "+a\n", std::vector<ModResult>(1), &p.main);
     }},
    {"frmAnalyze", [](Program& p) -> QWidget* { return new frmAnalyze(p.main, &p.main); }},
    {"frmRevertInstallation", [](Program& p) -> QWidget* { return new frmRevertInstallation(p.main, &p.main); }},
    {"frmHackExport", [](Program& p) -> QWidget* { return new frmHackExport(p.state, &p.main); }},
    {"frmHackImport", [](Program& p) -> QWidget* { return new frmHackImport(p.state, &p.main); }},
    {"frmExportText", [](Program& p) -> QWidget* { return new frmExportText(p.state, &p.main); }},
    {"frmBoardCheck", [](Program& p) -> QWidget* { return new frmBoardCheck(p.main, &p.main); }},
    {"frmPortMerge",
     [](Program& p) -> QWidget* {
         PortedHack hack;
         hack.Mods.resize(1);
         return new frmPortMerge(p.main, {}, hack, 0, &p.main);
     }},
    {"frmPublish", [](Program& p) -> QWidget* { return new frmPublish(p.main, p.state.CurrentHackNum, &p.main); }},
    {"CFileEncoderPropPage",
     [](Program& p) -> QWidget* {
         auto* window = new frmHackImport(p.state, &p.main);
         return new CFileEncoderPropPage(window->fe, window);
     }},
    {"CFileEncoderAboutBox", [](Program& p) -> QWidget* { return new CFileEncoderAboutBox(&p.main); }},
};

// The mnemonics of a caption ("&&" is a plain ampersand).
int Mnemonics(const QString& caption)
{
    int count = 0;
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] == u'&') {
            count += caption[i + 1] != u'&';
            ++i;
        }
    }
    return count;
}

// The letter a caption's accelerator takes, lower case, or none.
QChar MnemonicLetter(const QString& caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] == u'&') {
            if (caption[i + 1] != u'&')
                return caption[i + 1].toLower();
            ++i;
        }
    }
    return QChar();
}

// A caption of symbols only (">>", "...") says nothing to a screen reader.
bool SaysSomething(const QString& caption)
{
    return std::any_of(caption.begin(), caption.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

// The class and object name of a widget, for a failure message.
std::string Describe(const QWidget* widget)
{
    return std::string(widget->metaObject()->className()) + " " + widget->objectName().toStdString();
}

// Puts a mark before every text that goes through translation.
class MarkingTranslator : public QTranslator
{
public:
    static constexpr char16_t Mark = u'\u2039';

    bool isEmpty() const override { return false; }
    QString translate(const char*, const char* sourceText, const char*, int) const override
    {
        return Mark + QString::fromUtf8(sourceText);
    }
};

// The captions a window shows: its title, its buttons, menu items, labels (not the status bar's
// panels, which show data, nor rich text), frames, tabs and shown headers.
QStringList Captions(QWidget* window)
{
    QStringList captions {window->windowTitle()};
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
        captions << button->text();
    for (QAction* action : window->findChildren<QAction*>())
        captions << action->text();
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (!qobject_cast<QStatusBar*>(label->parentWidget()) && !Qt::mightBeRichText(label->text()))
            captions << label->text();
    }
    for (QGroupBox* frame : window->findChildren<QGroupBox*>())
        captions << frame->title();
    for (QTabWidget* tabs : window->findChildren<QTabWidget*>()) {
        for (int i = 0; i < tabs->count(); ++i)
            captions << tabs->tabText(i);
    }
    for (QHeaderView* header : window->findChildren<QHeaderView*>()) {
        for (int i = 0; !header->isHidden() && i < header->count(); ++i)
            captions << header->model()->headerData(i, header->orientation()).toString();
    }
    captions.removeAll(QString());
    return captions;
}

// The Alt keys of the controls a user sees at once in the window as it stands, each with the caption
// that takes it.
QList<std::pair<QKeySequence, QString>> KeysInView(QWidget* window)
{
    QList<std::pair<QKeySequence, QString>> keys;
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (button->isVisibleTo(window))
            keys.append({button->shortcut(), button->text()});
    }
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (label->buddy() && label->isVisibleTo(window))
            keys.append({QKeySequence::mnemonic(label->text()), label->text()});
    }
    for (QTabBar* tabs : window->findChildren<QTabBar*>()) {
        for (int i = 0; tabs->isVisibleTo(window) && i < tabs->count(); ++i)
            keys.append({QKeySequence::mnemonic(tabs->tabText(i)), tabs->tabText(i)});
    }
    for (QGroupBox* frame : window->findChildren<QGroupBox*>()) {
        if (frame->isVisibleTo(window))
            keys.append({QKeySequence::mnemonic(frame->title()), frame->title()});
    }
    return keys;
}

void ExpectNoSharedKey(QWidget* window, const QString& view)
{
    const QList<std::pair<QKeySequence, QString>> keys = KeysInView(window);
    for (qsizetype i = 0; i < keys.size(); ++i) {
        for (qsizetype j = i + 1; j < keys.size(); ++j) {
            if (!keys[i].first.isEmpty() && keys[i].first == keys[j].first) {
                ADD_FAILURE() << view.toStdString() << ": " << keys[i].second.toStdString() << " and "
                              << keys[j].second.toStdString() << " share " << keys[i].first.toString().toStdString();
            }
        }
    }
}

class WindowAccessibilityTest : public ProgramFolderFixture
{
protected:
    void SetUp() override
    {
        EnsureApplication();
        ProgramFolderFixture::SetUp();
        ASSERT_TRUE(FindHack(
            state, QString::number(CreateHack(state, [](Recordset& hack) { hack.SetValue("Name", "Calendar"); }))));
    }
};

// A screen reader names every button and every text box, and a keyboard user reaches each
// command with one accelerator.
TEST_F(WindowAccessibilityTest, ButtonsAndTextBoxesHaveNamesAndCaptionsOneAccelerator)
{
    mdiMain main(state);
    NoEditor editor;
    Program program {state, main, editor};
    // A window inside the main window shares its keys with the main window's menu bar.
    QList<QChar> menuLetters;
    for (QAction* menu : main.menuBar()->actions())
        menuLetters << MnemonicLetter(menu->text());
    for (const auto& [name, make] : Windows) {
        SCOPED_TRACE(name);
        QWidget* window = make(program);
        QStringList captions;
        for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
            captions << button->text();
        for (QTabWidget* tabs : window->findChildren<QTabWidget*>()) {
            for (int i = 0; i < tabs->count(); ++i)
                captions << tabs->tabText(i);
        }
        for (const QString& caption : captions) {
            // The text viewer's "&Find" is the program's given caption; Enter in its box finds too.
            if (!qobject_cast<QDialog*>(window) && window != &main && caption != QStringLiteral("&Find")) {
                EXPECT_FALSE(menuLetters.contains(MnemonicLetter(caption))) << caption.toStdString();
            }
        }
        for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
            // Buttons a user can reach with Tab (not the item views' own corner buttons).
            const bool reachable = !button->isHidden() && (button->focusPolicy() & Qt::TabFocus);
            if (reachable && !SaysSomething(button->text())) {
                EXPECT_FALSE(button->accessibleName().isEmpty()) << Describe(button);
            }
            EXPECT_LE(Mnemonics(button->text()), 1) << button->text().toStdString();
        }
        for (QAction* action : window->findChildren<QAction*>())
            EXPECT_LE(Mnemonics(action->text()), 1) << action->text().toStdString();

        QList<QWidget*> labelled;
        for (QLabel* label : window->findChildren<QLabel*>())
            labelled << label->buddy();
        for (QWidget* box : window->findChildren<QWidget*>()) {
            const bool textBox = qobject_cast<QLineEdit*>(box) || qobject_cast<QPlainTextEdit*>(box)
                || qobject_cast<QTextEdit*>(box) || qobject_cast<QComboBox*>(box)
                || qobject_cast<QAbstractSpinBox*>(box);
            // The line edit inside a combo or spin box is named through its owner.
            const bool part
                = qobject_cast<QComboBox*>(box->parentWidget()) || qobject_cast<QAbstractSpinBox*>(box->parentWidget());
            if (textBox && !part) {
                EXPECT_TRUE(labelled.contains(box) || !box->accessibleName().isEmpty()) << Describe(box);
            }
        }
    }
}

// Each Alt key does one thing among the controls in view, on every tab of a window.
TEST_F(WindowAccessibilityTest, NoTwoControlsInViewShareAnAltKey)
{
    mdiMain main(state);
    NoEditor editor;
    Program program {state, main, editor};
    for (const auto& [name, make] : Windows) {
        QWidget* window = make(program);
        if (window == &main)
            continue;
        ExpectNoSharedKey(window, QString::fromUtf8(name));
        for (QTabWidget* tabs : window->findChildren<QTabWidget*>()) {
            for (int i = 0; i < tabs->count(); ++i) {
                tabs->setCurrentIndex(i);
                ExpectNoSharedKey(window, QString::fromUtf8(name) + " tab " + tabs->tabText(i));
            }
        }
    }
}

// A working window with nothing running closes on Escape wherever its focus is, and while it is
// active its own Alt keys reach its controls before the menu bar's.
TEST_F(WindowAccessibilityTest, IdleWorkingWindowsCloseOnEscapeAndTakeTheirOwnKeys)
{
    mdiMain main(state);
    NoEditor editor;
    Program program {state, main, editor};
    main.show();
    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    for (const auto& [name, make] : Windows) {
        QWidget* window = make(program);
        if (window == &main || qobject_cast<QDialog*>(window) || window->parentWidget() != &main
            || qobject_cast<frmListHacks*>(window) || qobject_cast<frmEditHack*>(window)
            || qobject_cast<frmHackComm*>(window)) {
            continue; // dialogs close on Escape by themselves; the list and the editors do not close on it
        }
        SCOPED_TRACE(name);
        QPointer<QMdiSubWindow> frame = main.ShowChild(window);
        main.mdiArea()->setActiveSubWindow(frame);
        for (QWidget* child : window->findChildren<QWidget*>()) {
            if ((child->focusPolicy() & Qt::TabFocus) && child->isVisibleTo(window)) {
                child->setFocus();
                break;
            }
        }
        if (auto* text = qobject_cast<frmExportText*>(window)) {
            // "Export to &folder" takes Alt+F while the window is active; the File menu stays shut.
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::AltModifier);
            EXPECT_EQ(QApplication::focusWidget(), text->txtExpFolder);
            EXPECT_FALSE(main.mnuFile->isVisible());
        }
        QWidget* focus = QApplication::focusWidget();
        ASSERT_TRUE(focus && window->isAncestorOf(focus));
        QTest::keyClick(focus, Qt::Key_Escape);
        RunDeferredDeletes();
        EXPECT_TRUE(frame.isNull());
    }
    // With no working window active the menu bar has its letters again.
    EXPECT_EQ(main.mnuFile->title(), "&File");
}

// Every caption can be translated: it reaches the window through tr().
TEST_F(WindowAccessibilityTest, EveryCaptionGoesThroughTranslation)
{
    MarkingTranslator marking;
    QCoreApplication::installTranslator(&marking);
    {
        mdiMain main(state);
        NoEditor editor;
        Program program {state, main, editor};
        for (const auto& [name, make] : Windows) {
            SCOPED_TRACE(name);
            for (const QString& caption : Captions(make(program)))
                EXPECT_TRUE(caption.startsWith(MarkingTranslator::Mark)) << caption.toStdString();
        }
    }
    QCoreApplication::removeTranslator(&marking);
}

} // namespace
} // namespace zp::test
