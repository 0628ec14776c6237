#pragma once

#include "app/dialogs.h"
#include "catalogue/frm_hack_comm.h"

#include <QList>
#include <QPointer>
#include <QVariant>
#include <QWidget>
#include <array>
#include <functional>
#include <utility>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;

namespace zp {

// The editor's designed size with its frame, in twips: the largest working window.
inline constexpr int EditorWidthTwips = 10965;
inline constexpr int EditorHeightTwips = 8490;

struct AppState;
class FlexGrid;
class Recordset;
class MainFrame;

// The hack editor: one hack's information, messages, mods and support files. The hack list opens
// it for a new hack (stored at once with the configured defaults) or for the selected hack and
// closes itself meanwhile; closing the editor brings the list back. Each tab stores its own fields
// with its own save button. The editor reads and writes only the rows of the hack it was opened
// for, whatever hack the list or another window selects meanwhile, and asks before its unsaved
// changes are lost.
class frmEditHack : public QWidget, public LongTextTarget
{
    Q_OBJECT

public:
    explicit frmEditHack(MainFrame& main, QWidget* parent = nullptr);

    // Fills the lists, sizes and centres the window, then creates the new hack (NewHackMode) or
    // loads CurrentHackNum, whose row HackInfoRecordset stands on.
    void Load();

    // The current row of HackInfoRecordset into the "Hack Info" tab, then LoadMessageFields.
    void LoadHackFields();
    void LoadMessageFields();

    // Mods: rebuilds the grid, the order list, the mod buttons and the status bar's mod count.
    void FillModList();
    // Positions HackDataRecordset on the grid's current row and shows that mod.
    void ShowSelectedMod();
    void LoadModFields();
    // The fields of a new mod: "Add After", the first location, instance 1, empty texts.
    void ClearModFields();
    void SetModFieldsEnabled(bool enable);
    // Refills both location lists for CurrentHackType, neither with a selection.
    void FillLocationLists();

    // Support files: the hack's files by name; the first is selected.
    void FillSupportFileList();

    // Writes a larger window's text back into the control of its display type.
    void SetLongText(qint16 DispType, const QString& text) override;

    // The HackNum of the hack this editor shows.
    int HackNum() const { return hackNum_; }
    // True when a tab, the mod being edited or a larger window holds changes not stored yet.
    bool HasUnsavedChanges() const;
    // With unsaved changes, asks "Save changes to <hack>?": Save stores them, Discard drops them.
    // False when the user chose Cancel or a save was refused: the editor stays as it is.
    bool AskToSaveChanges();

    QTabWidget* sstabHack;

    // "Hack Info"
    QComboBox* cmbHackType;
    QLineEdit* txtHackName;
    QLineEdit* txtHackVersion;
    QLineEdit* txtAuthName;
    QLineEdit* txtAuthEmail;
    QLineEdit* txtHomePage;
    QLineEdit* txtUpdateURL;
    QLineEdit* txtCopyright;
    QPlainTextEdit* txtHackComm;
    QPushButton* cmdSaveHackInfo;
    QToolButton* cmdViewFS;

    // "Messages"
    QPlainTextEdit* txtPreMess;
    QPlainTextEdit* txtPostMess;
    QPushButton* cmdSaveMessage;
    QToolButton* cmdFVPreInstall;
    QToolButton* cmdFVPostInstall;

    // The mod list and its buttons, the two data boxes (outside the tabs)
    FlexGrid* fgModList;
    QCheckBox* chkValMods;
    QPushButton* cmdNewMod;
    QPushButton* cmdAddMultiple;
    QPushButton* cmdEditMod;
    QPushButton* cmdDelMod;
    QPushButton* cmdDupeMod;
    QPushButton* cmdHackCancel;
    QPlainTextEdit* rtbOldData;
    QPlainTextEdit* rtbNewData;
    QToolButton* cmdFontOldData;
    QToolButton* cmdFontNewData;
    QToolButton* cmdViewOldFS;
    QToolButton* cmdViewNewFS;

    // "Mod Info"
    QLineEdit* txtModFile;
    QToolButton* cmdGetModFile;
    QToolButton* cmdOpenTextFile;
    QComboBox* cmbDirType;
    QLineEdit* txtExtendPath;
    QComboBox* cmbModOrder;
    QComboBox* cmbModInst;
    QGroupBox* fraActions;
    std::array<QRadioButton*, 6> optModType;
    QLineEdit* txtModComm;
    QPushButton* cmdModSave;
    QPushButton* cmdModClear;

    // "Files"
    QListWidget* lstSupFiles;
    QComboBox* cmbFileLoc;
    QLineEdit* txtSupDir;
    QPushButton* cmdAddSupFile;
    QPushButton* cmdRemSupFile;
    QPushButton* cmdSaveSupFile;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Building (frm_edit_hack_tabs.cpp)
    void CreateModControls();
    QWidget* CreateHackInfoTab();
    QWidget* CreateMessagesTab();
    QWidget* CreateModInfoTab();
    QWidget* CreateFilesTab();
    void ConnectCommands();
    void AddKeys();
    void LayOut();
    QList<QPushButton*> ModButtons() const;
    QSize TabSize() const;
    int GridHeight() const;
    QSize MinimumSize() const;

    // Hack information and messages
    void CreateNewHack();
    void SaveHackInfo();
    void WriteHackInfo(Recordset& hack);
    void SaveMessages();
    // The one-line boxes of "Hack Info" with their HackInfo fields.
    QList<std::pair<QLineEdit*, QString>> HackInfoBoxes() const;
    // Selects entry `index` of the type list (-1: none) and makes `type` the current board type.
    void ShowHackType(int index, qint16 type);
    void HackTypeChanged();
    void ApplyHackType(qint16 type);
    void OpenLargerWindow(qint16 DispType, const QString& text);
    void Unload();

    // Mods (frm_edit_hack_mods.cpp)
    void NewMod();
    void AddMultiple();
    void EditMod();
    void DuplicateMod();
    void DeleteMod();
    void CancelMod();
    // False when nothing was stored (no file name).
    bool SaveMod();
    void WriteModFields(Recordset& mods);
    void SetAction(int code);
    void EnterEditing();
    void SetModButtons(bool editing);
    void ValidationClicked();
    void ChooseFont(QPlainTextEdit* box);
    void GetModFile();
    void OpenModFile();

    // Support files (frm_edit_hack_files.cpp)
    void SelectSupportFile();
    void SaveSupportFile();
    void AddSupportFiles();
    void RemoveSupportFile();
    void SetSupportFileControlsEnabled(bool enabled);

    // The shared recordsets, placed on the row this window shows (re-opened with this window's
    // query first when another window has used them meanwhile).
    Recordset& HackRow();
    Recordset& ModRows();
    Recordset& FileRows();
    QString ModsSql() const;
    QString FilesSql() const;
    int ModCount() const;

    void ShowTextStarts();
    // The text of a multi-line box as it is stored: line breaks CR LF.
    static QString BoxText(const QPlainTextEdit* box);
    // Runs a command on this editor's board type and folder table (made current first); a database
    // failure is reported instead of ending the program.
    void Guarded(const std::function<void()>& command);

    // Unsaved changes (frm_edit_hack_unsaved.cpp): the values of each part as shown, compared with
    // the values last loaded or stored.
    QStringList HackInfoValues() const;
    QStringList MessageValues() const;
    QStringList ModValues() const;
    QStringList SupportFileValues() const;
    void MarkHackInfoSaved();
    void MarkModSaved();
    void MarkSupportFileSaved();
    bool ModChanged() const;
    // "Save changes to <hack>?" with Save, Discard and Cancel.
    MsgAnswer SaveChangesQuestion();
    // Stores every part that holds changes, larger windows' texts first; false when a save was refused.
    bool SaveChanges();
    // Escape: leaves the mod being edited, asking first when it holds changes; Escape that closes a
    // list's popup only closes the popup.
    void EscapePressed();

    MainFrame& main_;
    AppState& state_;

    bool NewModPending = false;
    bool AddMultipleMode = false;
    bool FirstOfMultiple = false;

    // The stored values of the shown mod, written back when their list shows no selection (a value
    // outside the list, or Null), so that a save never turns them into another value.
    QVariant keptInst_;
    QVariant keptOrder_;
    QVariant keptDir_;
    QVariant keptAction_;

    int hackNum_ = 0; // the hack this editor shows
    qint16 hackType_ = 0; // its board type as the type list shows it
    QString hackName_; // its name as stored
    QStringList savedHackInfo_;
    QStringList savedMessages_;
    QStringList savedMod_;
    QStringList savedFile_;

    bool unloaded_ = false;
    QList<QPointer<frmHackComm>> largerWindows_;
    QLabel* lblOldData;
    QLabel* lblNewData;
};

// Shows the single hack editor in the main window and runs its load for the state the hack list
// left (NewHackMode, CurrentHackNum, HackInfoRecordset on the hack's row). An open editor with
// unsaved changes asks first, and keeps its hack when the user cancels.
frmEditHack& ShowHackEditor(MainFrame& main);

} // namespace zp
