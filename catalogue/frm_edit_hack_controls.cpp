// The hack editor's controls: building, keyboard, layout.
#include "catalogue/frm_edit_hack.h"
#include "widgets/flex_grid.h"

#include "app/board_directories.h"
#include "engine/modification_engine.h"
#include "widgets/main_frame.h"
#include "widgets/window_helpers.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace zp {

namespace {

constexpr int MarginTwips = 60;
constexpr int GapTwips = 60;
constexpr int GridLessTwips = 1200; // the grid takes the window width less this
constexpr int DataLessTwips = 4900; // the data boxes take the window width less this
constexpr int DataGapTwips = 300; // the New Data box starts this far below the Old Data box
constexpr int CheckAboveBottomTwips = 700; // the top of "Validate Each Mod" above the window's bottom
constexpr int GridHeightTwips = 2400;
constexpr int TabWidthTwips = 5400;
constexpr int TabHeightTwips = 5100;
constexpr int MinimumDataWidthTwips = 2400;

constexpr Qt::Alignment Centre = Qt::AlignCenter;
constexpr Qt::Alignment General = Qt::AlignLeft | Qt::AlignVCenter;

QList<FlexGrid::Column> ModListColumns()
{
    return {
        {QObject::tr("FF"), 405, Centre, General, QObject::tr("file found")},
        {QObject::tr("MP"), 405, Centre, General, QObject::tr("old data found in the file")},
        {QObject::tr("Order"), 540, Centre},
        {QObject::tr("Instance"), 750, Centre},
        {QObject::tr("Filename"), 1860, General},
        {QObject::tr("Action"), 900, General},
        {QObject::tr("Location"), 1020, General},
        {QObject::tr("Comments"), 960, General},
    };
}

// Widens a column where the desktop's font needs more than the designed width for these texts.
void FitColumn(FlexGrid* grid, int column, const QStringList& texts)
{
    int width = grid->columnWidth(column);
    for (const QString& text : texts)
        width = qMax(width, grid->fontMetrics().horizontalAdvance(text) + 2 * grid->fontMetrics().averageCharWidth());
    grid->setColumnWidth(column, width);
}

QPushButton* Button(const QString& caption, const QString& toolTip, QWidget* parent)
{
    auto* button = new QPushButton(caption, parent);
    button->setToolTip(toolTip);
    button->setAutoDefault(false);
    return button;
}

// A small button that shows a symbol or an icon: its tooltip is also its name for screen readers.
QToolButton* SymbolButton(const QString& symbol, const QString& toolTip, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setText(symbol);
    button->setToolTip(toolTip);
    button->setAccessibleName(toolTip);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

QToolButton* IconButton(QStyle::StandardPixmap icon, const QString& toolTip, QWidget* parent)
{
    QToolButton* button = SymbolButton(QString(), toolTip, parent);
    button->setIcon(parent->style()->standardIcon(icon));
    return button;
}

QLabel* Label(const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

// A label with buttons at the right end of its row.
QHBoxLayout* LabelRow(QLabel* label, QToolButton* button)
{
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addStretch();
    row->addWidget(button);
    return row;
}

QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> buttons)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton* button : buttons)
        row->addWidget(button);
    return row;
}

} // namespace

frmEditHack::frmEditHack(MainFrame& main, QWidget* parent)
    : QWidget(parent)
    , main_(main)
    , state_(main.State())
{
    setWindowTitle(tr("Create/Edit Hack"));
    // Created in the order the Tab key visits them: the mod list and its buttons, the tabs, the
    // two data boxes, the validation switch.
    CreateModControls();
    sstabHack = new QTabWidget(this);
    sstabHack->addTab(CreateHackInfoTab(), tr("Hack Info"));
    sstabHack->addTab(CreateMessagesTab(), tr("Messages"));
    sstabHack->addTab(CreateModInfoTab(), tr("Mod Info"));
    sstabHack->addTab(CreateFilesTab(), tr("Files"));

    lblOldData = new QLabel(tr("&Old Data"), this);
    cmdFontOldData = SymbolButton(tr("Aa"), tr("Change Old Data Font"), this);
    cmdViewOldFS = IconButton(QStyle::SP_TitleBarMaxButton, tr("View/Edit Old Data in larger window"), this);
    rtbOldData = new QPlainTextEdit(this);
    lblNewData = new QLabel(tr("&New Data"), this);
    cmdFontNewData = SymbolButton(tr("Aa"), tr("Change New Data Font"), this);
    cmdViewNewFS = IconButton(QStyle::SP_TitleBarMaxButton, tr("View/Edit New Data in larger window"), this);
    rtbNewData = new QPlainTextEdit(this);
    lblOldData->setBuddy(rtbOldData);
    lblNewData->setBuddy(rtbNewData);
    chkValMods = new QCheckBox(tr("&Validate Each Mod"), this);

    for (QPlainTextEdit* box : {rtbOldData, rtbNewData, txtHackComm, txtPreMess, txtPostMess})
        box->setTabChangesFocus(true);
    ConnectCommands();
    AddKeys();
    SetModButtons(false);
    SetSupportFileControlsEnabled(false);
    setMinimumSize(MinimumSize());
}

void frmEditHack::CreateModControls()
{
    fgModList = new FlexGrid(ModListColumns(), this);
    QStringList actions;
    for (int code = 0; code < 6; ++code)
        actions << ActionName(code);
    FitColumn(fgModList, 5, actions);
    FitColumn(fgModList, 6, LocationNames(0) + LocationNames(1));
    cmdNewMod = Button(tr("&Add"), tr("Add Modification"), this);
    cmdAddMultiple = Button(tr(">>"), tr("Add Multiple New Modifications"), this);
    cmdAddMultiple->setAccessibleName(cmdAddMultiple->toolTip());
    cmdEditMod = Button(tr("&Edit"), tr("Edit Modification"), this);
    cmdDelMod = Button(tr("&Delete"), tr("Delete Modification"), this);
    cmdDupeMod = Button(tr("D&uplicate"), tr("Duplicate Modification"), this);
    cmdHackCancel = Button(tr("&Cancel"), tr("Cancel Modifications"), this);
}

QWidget* frmEditHack::CreateHackInfoTab()
{
    auto* tab = new QWidget;
    cmbHackType = new QComboBox(tab);
    txtHackName = new QLineEdit(tab);
    txtHackVersion = new QLineEdit(tab);
    txtAuthName = new QLineEdit(tab);
    txtAuthEmail = new QLineEdit(tab);
    txtHomePage = new QLineEdit(tab);
    txtUpdateURL = new QLineEdit(tab);
    txtCopyright = new QLineEdit(tab);
    cmdViewFS = IconButton(QStyle::SP_TitleBarMaxButton, tr("View/Edit Comments in larger window"), tab);
    txtHackComm = new QPlainTextEdit(tab);
    cmdSaveHackInfo = Button(tr("&Save Hack Info"), tr("Save Hack Information"), tab);

    auto* layout = new QGridLayout(tab);
    const std::pair<QString, QWidget*> rows[] = {
        {tr("Hack T&ype"), cmbHackType},
        {tr("Hac&k Name"), txtHackName},
        {tr("Hack Ve&rsion"), txtHackVersion},
        {tr("Au&thor's Name"), txtAuthName},
        {tr("Author's Ema&il Address"), txtAuthEmail},
        {tr("Home Pa&ge URL"), txtHomePage},
        {tr("Update File UR&L"), txtUpdateURL},
        {tr("Copyright"), txtCopyright},
    };
    int row = 0;
    for (const auto& [text, box] : rows) {
        layout->addWidget(Label(text, box, tab), row, 0);
        layout->addWidget(box, row++, 1);
    }
    layout->addLayout(LabelRow(Label(tr("Hack Co&mments"), txtHackComm, tab), cmdViewFS), row++, 0, 1, 2);
    layout->addWidget(txtHackComm, row, 0, 1, 2);
    layout->setRowStretch(row++, 1);
    layout->addLayout(ButtonRow({cmdSaveHackInfo}), row, 0, 1, 2);
    return tab;
}

QWidget* frmEditHack::CreateMessagesTab()
{
    auto* tab = new QWidget;
    cmdFVPreInstall
        = IconButton(QStyle::SP_TitleBarMaxButton, tr("View/Edit Pre Install message  in larger window"), tab);
    txtPreMess = new QPlainTextEdit(tab);
    cmdFVPostInstall
        = IconButton(QStyle::SP_TitleBarMaxButton, tr("View/Edit Post Install message in larger window"), tab);
    txtPostMess = new QPlainTextEdit(tab);
    cmdSaveMessage = Button(tr("&SAVE"), QString(), tab);

    auto* layout = new QVBoxLayout(tab);
    layout->addLayout(LabelRow(Label(tr("P&re Install Information"), txtPreMess, tab), cmdFVPreInstall));
    layout->addWidget(txtPreMess, 1);
    layout->addLayout(LabelRow(Label(tr("Post &Install Information"), txtPostMess, tab), cmdFVPostInstall));
    layout->addWidget(txtPostMess, 1);
    layout->addLayout(ButtonRow({cmdSaveMessage}));
    return tab;
}

QWidget* frmEditHack::CreateModInfoTab()
{
    auto* tab = new QWidget;
    txtModFile = new QLineEdit(tab);
    cmdGetModFile = SymbolButton(tr("..."), tr("Select filename to modifiy"), tab);
    cmdOpenTextFile = IconButton(QStyle::SP_FileDialogContentsView, tr("Open modification file in text editor"), tab);
    cmbDirType = new QComboBox(tab);
    txtExtendPath = new QLineEdit(tab);
    cmbModOrder = new QComboBox(tab);
    cmbModInst = new QComboBox(tab);
    cmbModInst->addItem(tr("All"));
    for (int i = 1; i <= 10; ++i)
        cmbModInst->addItem(QString::number(i));
    fraActions = new QGroupBox(tr("[ Action Type ]"), tab);
    const char* actions[] = {QT_TR_NOOP("Add Before"),
                             QT_TR_NOOP("Add After"),
                             QT_TR_NOOP("Insert"),
                             QT_TR_NOOP("Append"),
                             QT_TR_NOOP("Replace"),
                             QT_TR_NOOP("Delete")};
    auto* actionGrid = new QGridLayout(fraActions);
    auto* group = new QButtonGroup(fraActions);
    for (int i = 0; i < 6; ++i) {
        optModType[size_t(i)] = new QRadioButton(tr(actions[i]), fraActions);
        group->addButton(optModType[size_t(i)], i);
        actionGrid->addWidget(optModType[size_t(i)], i / 2, i % 2);
    }
    txtModComm = new QLineEdit(tab);
    cmdModSave = Button(tr("&Save"), tr("Save Modification"), tab);
    cmdModClear = Button(tr("&Clear"), tr("Clear the fields (Alt+Shift+C)"), tab);
    // Alt+C is the window's "&Cancel"; the tab's "&Clear" takes Alt+Shift+C.
    cmdModClear->setShortcut(QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_C));

    auto* layout = new QGridLayout(tab);
    layout->addWidget(Label(tr("Modifica&tion File"), txtModFile, tab), 0, 0, 1, 2);
    auto* file = new QHBoxLayout;
    file->addWidget(txtModFile, 1);
    file->addWidget(cmdGetModFile);
    file->addWidget(cmdOpenTextFile);
    layout->addLayout(file, 1, 0, 1, 2);
    layout->addWidget(Label(tr("Modification File &Location"), cmbDirType, tab), 2, 0);
    layout->addWidget(Label(tr("E&xtended file path"), txtExtendPath, tab), 2, 1);
    layout->addWidget(cmbDirType, 3, 0);
    layout->addWidget(txtExtendPath, 3, 1);
    auto* lists = new QHBoxLayout;
    lists->addWidget(Label(tr("O&rder"), cmbModOrder, tab));
    lists->addWidget(cmbModOrder, 1);
    lists->addWidget(Label(tr("&Instance"), cmbModInst, tab));
    lists->addWidget(cmbModInst, 1);
    layout->addLayout(lists, 4, 0, 1, 2);
    layout->addWidget(fraActions, 5, 0, 1, 2);
    layout->addWidget(Label(tr("Co&mment"), txtModComm, tab), 6, 0, 1, 2);
    layout->addWidget(txtModComm, 7, 0, 1, 2);
    layout->setRowStretch(8, 1);
    layout->addLayout(ButtonRow({cmdModSave, cmdModClear}), 9, 0, 1, 2);
    layout->setColumnStretch(0, 1);
    layout->setColumnStretch(1, 1);
    return tab;
}

QWidget* frmEditHack::CreateFilesTab()
{
    auto* tab = new QWidget;
    lstSupFiles = new QListWidget(tab);
    cmbFileLoc = new QComboBox(tab);
    txtSupDir = new QLineEdit(tab);
    cmdAddSupFile = Button(tr("&ADD"), tr("Add Support File"), tab);
    // Alt+A is the window's "&Add" of a mod; the tab's "&ADD" takes Alt+Shift+A.
    cmdAddSupFile->setShortcut(QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_A));
    cmdRemSupFile = Button(tr("&REMOVE"), tr("Remove Support File"), tab);
    cmdSaveSupFile = Button(tr("&SAVE"), tr("Save Support File Info"), tab);

    auto* details = new QVBoxLayout;
    details->addWidget(Label(tr("File &Location"), cmbFileLoc, tab));
    details->addWidget(cmbFileLoc);
    details->addWidget(Label(tr("File Pa&th"), txtSupDir, tab));
    details->addWidget(txtSupDir);
    details->addStretch();
    for (QPushButton* button : {cmdAddSupFile, cmdRemSupFile, cmdSaveSupFile})
        details->addWidget(button);
    auto* layout = new QGridLayout(tab);
    layout->addWidget(Label(tr("F&ile List"), lstSupFiles, tab), 0, 0);
    layout->addWidget(lstSupFiles, 1, 0);
    layout->addLayout(details, 1, 1);
    layout->setColumnStretch(0, 1);
    return tab;
}

void frmEditHack::AddKeys()
{
    // Escape leaves the mod being edited, or closes the window when none is.
    auto* cancel = new QAction(this);
    cancel->setShortcut(QKeySequence::Cancel);
    cancel->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(cancel, &QAction::triggered, this, &frmEditHack::EscapePressed);
    addAction(cancel);

    // Ctrl+S presses the save button of the tab on show.
    auto* save = new QAction(this);
    save->setShortcut(QKeySequence::Save);
    save->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(save, &QAction::triggered, this, [this] {
        QPushButton* const saves[] = {cmdSaveHackInfo, cmdSaveMessage, cmdModSave, cmdSaveSupFile};
        QPushButton* button = saves[sstabHack->currentIndex()];
        if (button->isEnabled())
            button->click();
    });
    addAction(save);

    // Ctrl+PgDown and Ctrl+PgUp turn the tabs; Alt+1 to Alt+4 show one (the letters of the tab
    // names belong to the controls on the tabs).
    const int tabs = sstabHack->count();
    AddWindowKey(this, QKeySequence(Qt::CTRL | Qt::Key_PageDown), [this, tabs] {
        sstabHack->setCurrentIndex((sstabHack->currentIndex() + 1) % tabs);
    });
    AddWindowKey(this, QKeySequence(Qt::CTRL | Qt::Key_PageUp), [this, tabs] {
        sstabHack->setCurrentIndex((sstabHack->currentIndex() + tabs - 1) % tabs);
    });
    for (int i = 0; i < tabs; ++i) {
        const QKeySequence key(Qt::ALT | Qt::Key(Qt::Key_1 + i));
        sstabHack->setTabToolTip(i, tr("%1 (%2)").arg(sstabHack->tabText(i), key.toString(QKeySequence::NativeText)));
        AddWindowKey(this, key, [this, i] { sstabHack->setCurrentIndex(i); });
    }
}

void frmEditHack::ShowTextStarts()
{
    // Boxes filled by the program show the beginning of their text, not its end.
    for (QLineEdit* box : findChildren<QLineEdit*>())
        box->setCursorPosition(0);
}

QSize frmEditHack::TabSize() const
{
    const QSize designed(TwipsToPixels(TabWidthTwips, this), TwipsToPixels(TabHeightTwips, this));
    return designed.expandedTo(sstabHack->minimumSizeHint());
}

QList<QPushButton*> frmEditHack::ModButtons() const
{
    return {cmdNewMod, cmdAddMultiple, cmdEditMod, cmdDelMod, cmdDupeMod, cmdHackCancel};
}

int frmEditHack::GridHeight() const
{
    // At least as tall as the column of mod buttons beside it.
    const int gap = TwipsToPixels(GapTwips, this);
    int column = -gap;
    for (QPushButton* button : ModButtons())
        column += button->sizeHint().height() + gap;
    return qMax(TwipsToPixels(GridHeightTwips, this), column);
}

QSize frmEditHack::MinimumSize() const
{
    const int margin = TwipsToPixels(MarginTwips, this);
    const int gap = TwipsToPixels(GapTwips, this);
    const QSize tab = TabSize();
    return {margin + tab.width() + gap + TwipsToPixels(MinimumDataWidthTwips, this) + margin,
            margin + GridHeight() + gap + tab.height() + margin};
}

void frmEditHack::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    LayOut();
}

void frmEditHack::LayOut()
{
    if (WindowFrame(this)->isMinimized())
        return;
    // The rules measure the whole window, title bar and frame included.
    const QSize outer = OuterSize(this);
    const auto px = [this](int twips) { return TwipsToPixels(twips, this); };
    const int margin = px(MarginTwips);
    const int gap = px(GapTwips);

    // The mod buttons in a column at the left; the grid beside them along the top, as wide as the
    // window less 1200 twips, or narrower where the buttons need more room.
    int columnWidth = 0;
    int buttonHeight = 0;
    for (QPushButton* button : ModButtons()) {
        columnWidth = qMax(columnWidth, button->sizeHint().width());
        buttonHeight = qMax(buttonHeight, button->sizeHint().height());
    }
    const int gridWidth = qMin(outer.width() - px(GridLessTwips), width() - 2 * margin - gap - columnWidth);
    const int gridLeft = width() - margin - gridWidth;
    columnWidth = gridLeft - gap - margin;
    int y = margin;
    for (QPushButton* button : ModButtons()) {
        button->setGeometry(margin, y, columnWidth, buttonHeight);
        y += buttonHeight + gap;
    }
    const int gridHeight = GridHeight();
    fgModList->setGeometry(gridLeft, margin, qMax(0, gridWidth), gridHeight);

    // Below the grid the tab control keeps its size at the left.
    const int top = margin + gridHeight + gap;
    const QSize tab = TabSize();
    sstabHack->setGeometry(margin, top, tab.width(), tab.height());

    // At the right the two data boxes, as wide as the window less 4900 twips, share the height down
    // to "Validate Each Mod" equally; each has its label above it and its buttons at the right end.
    const int dataLeft = qMax(margin + tab.width() + gap, width() - margin - (outer.width() - px(DataLessTwips)));
    const int dataWidth = qMax(0, width() - margin - dataLeft);
    const int checkHeight = chkValMods->sizeHint().height();
    const int checkTop = qMin(outer.height() - px(CheckAboveBottomTwips), height() - margin - checkHeight);
    chkValMods->setGeometry(dataLeft, checkTop, chkValMods->sizeHint().width(), checkHeight);

    const int rowHeight = qMax(cmdFontOldData->sizeHint().height(), lblOldData->sizeHint().height());
    const int spacing = qMax(px(DataGapTwips), rowHeight);
    const int oldTop = top + rowHeight;
    const int boxHeight = qMax(0, (checkTop - gap - oldTop - spacing) / 2);
    const int newTop = oldTop + boxHeight + spacing;
    auto place = [&](QLabel* label, QToolButton* font, QToolButton* larger, QPlainTextEdit* box, int boxTop) {
        const int rowTop = boxTop - rowHeight;
        label->setGeometry(dataLeft, rowTop, label->sizeHint().width(), rowHeight);
        const int buttonWidth = qMax(font->sizeHint().width(), larger->sizeHint().width());
        larger->setGeometry(dataLeft + dataWidth - buttonWidth, rowTop, buttonWidth, rowHeight);
        font->setGeometry(dataLeft + dataWidth - 2 * buttonWidth - gap, rowTop, buttonWidth, rowHeight);
        box->setGeometry(dataLeft, boxTop, dataWidth, boxHeight);
    };
    place(lblOldData, cmdFontOldData, cmdViewOldFS, rtbOldData, oldTop);
    place(lblNewData, cmdFontNewData, cmdViewNewFS, rtbNewData, newTop);
}

} // namespace zp
