#include "widgets/qt_dialogs.h"

#include "widgets/focus_return.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QThread>
#include <algorithm>
#include <utility>

namespace zp {

namespace {

QMessageBox::StandardButtons ButtonsOf(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::OK:
        return QMessageBox::Ok;
    case MsgButtons::OKCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgButtons::YesNo:
    case MsgButtons::YesNoDefaultNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MsgButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MsgButtons::RetryCancel:
        return QMessageBox::Retry | QMessageBox::Cancel;
    case MsgButtons::SaveDiscardCancel:
        return QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel;
    case MsgButtons::ReplaceKeepBothCancel:
        return QMessageBox::Cancel; // Replace and Keep Both are added by name
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon IconOf(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::None:
        return QMessageBox::NoIcon;
    case MsgIcon::Critical:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::Exclamation:
        return QMessageBox::Warning;
    case MsgIcon::Information:
        return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

// "Name (*.a *.b);;All Files (*)" -> the filter at a zero-based index, or empty.
QString SelectedFilter(const FileDialogOptions& options)
{
    const QStringList filters = options.filter.split(";;", Qt::SkipEmptyParts);
    return options.filterIndex >= 0 && options.filterIndex < filters.size() ? filters[options.filterIndex] : QString();
}

} // namespace

std::unique_ptr<QMessageBox>
MakeMessageBox(const QString& text, const QString& title, MsgButtons buttons, MsgIcon icon, QWidget* owner)
{
    auto box = std::make_unique<QMessageBox>(IconOf(icon), title, text, ButtonsOf(buttons), owner);
    // The desktop's captions of these buttons have no Alt key (its Yes and No have theirs).
    const std::pair<QMessageBox::StandardButton, const char*> captions[] = {
        {QMessageBox::Save, QT_TRANSLATE_NOOP("zp::QtDialogs", "&Save")},
        {QMessageBox::Discard, QT_TRANSLATE_NOOP("zp::QtDialogs", "&Discard")},
        {QMessageBox::Cancel, QT_TRANSLATE_NOOP("zp::QtDialogs", "&Cancel")},
        {QMessageBox::Retry, QT_TRANSLATE_NOOP("zp::QtDialogs", "&Retry")},
    };
    for (const auto& [which, caption] : captions) {
        if (QAbstractButton* button = box->button(which))
            button->setText(QCoreApplication::translate("zp::QtDialogs", caption));
    }
    if (buttons == MsgButtons::YesNoDefaultNo)
        box->setDefaultButton(QMessageBox::No);
    if (buttons == MsgButtons::SaveDiscardCancel)
        box->setDefaultButton(QMessageBox::Save);
    if (buttons == MsgButtons::ReplaceKeepBothCancel) {
        box->addButton(QCoreApplication::translate("zp::QtDialogs", "&Replace"), QMessageBox::DestructiveRole)
            ->setObjectName("cmdReplace");
        QPushButton* keepBoth
            = box->addButton(QCoreApplication::translate("zp::QtDialogs", "&Keep Both"), QMessageBox::AcceptRole);
        keepBoth->setObjectName("cmdKeepBoth");
        box->setDefaultButton(keepBoth);
    }
    return box;
}

MsgAnswer AnswerOf(const QMessageBox& box)
{
    QAbstractButton* clicked = box.clickedButton();
    switch (box.standardButton(clicked)) {
    case QMessageBox::Ok:
        return MsgAnswer::OK;
    case QMessageBox::Yes:
        return MsgAnswer::Yes;
    case QMessageBox::No:
        return MsgAnswer::No;
    case QMessageBox::Retry:
        return MsgAnswer::Retry;
    case QMessageBox::Save:
        return MsgAnswer::Save;
    case QMessageBox::Discard:
        return MsgAnswer::Discard;
    default:
        break;
    }
    if (clicked && clicked->objectName() == QLatin1String("cmdReplace"))
        return MsgAnswer::Replace;
    if (clicked && clicked->objectName() == QLatin1String("cmdKeepBoth"))
        return MsgAnswer::KeepBoth;
    return MsgAnswer::Cancel;
}

void PrepareFileDialog(QFileDialog& dialog, const FileDialogOptions& options)
{
    dialog.setWindowTitle(options.title);
    dialog.setNameFilter(QString());
    if (!options.filter.isEmpty()) {
        const QStringList filters = options.filter.split(";;", Qt::SkipEmptyParts);
        // A filter that carries its caption apart from its patterns ("All Files (*.*) (*)") shows the
        // caption only; Qt takes the last parenthesised part as the patterns.
        static const QRegularExpression captionApart(QStringLiteral("\\)\\s*\\([^()]*\\)$"));
        const bool captionsApart = std::any_of(
            filters.begin(), filters.end(), [](const QString& f) { return captionApart.match(f).hasMatch(); });
        dialog.setOption(QFileDialog::HideNameFilterDetails, captionsApart);
        dialog.setNameFilters(filters);
        const QString selected = SelectedFilter(options);
        if (!selected.isEmpty())
            dialog.selectNameFilter(selected);
    }
    if (!options.defaultExt.isEmpty() && options.defaultExt != "*.*" && options.defaultExt != "*")
        dialog.setDefaultSuffix(options.defaultExt);
    if (!options.initialDir.isEmpty() && QDir(options.initialDir).exists())
        dialog.setDirectory(options.initialDir);
    if (!options.fileName.isEmpty())
        dialog.selectFile(options.fileName);
}

QWidget* QtDialogs::Owner() const
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return owner_;
}

MsgAnswer QtDialogs::messageBox(const QString& text, const QString& title, MsgButtons buttons, MsgIcon icon)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (QThread::currentThread() != app->thread()) {
        MsgAnswer answer = MsgAnswer::Cancel;
        QMetaObject::invokeMethod(
            app, [&] { answer = messageBox(text, title, buttons, icon); }, Qt::BlockingQueuedConnection);
        return answer;
    }
    const QPointer<QWidget> asking = QApplication::focusWidget();
    const std::unique_ptr<QMessageBox> box = MakeMessageBox(text, title, buttons, icon, Owner());
    box->exec();
    RestoreFocus(asking);
    return AnswerOf(*box);
}

QStringList QtDialogs::openFiles(const FileDialogOptions& options)
{
    QFileDialog dialog(Owner());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(options.multiSelect         ? QFileDialog::ExistingFiles
                           : options.fileMustExist ? QFileDialog::ExistingFile
                                                   : QFileDialog::AnyFile);
    PrepareFileDialog(dialog, options);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
}

QString QtDialogs::saveFile(const FileDialogOptions& options)
{
    QFileDialog dialog(Owner());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    PrepareFileDialog(dialog, options);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

QString QtDialogs::chooseFolder(const QString& title, const QString& initialDir)
{
    return QFileDialog::getExistingDirectory(Owner(), title, initialDir);
}

std::optional<FontChoice> QtDialogs::chooseFont(const FontChoice& initial)
{
    QFont font(initial.family, initial.pointSize);
    font.setBold(initial.bold);
    font.setItalic(initial.italic);
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font, Owner());
    if (!ok)
        return std::nullopt;
    return FontChoice {chosen.family(), chosen.pointSize(), chosen.bold(), chosen.italic()};
}

std::optional<QString> QtDialogs::askSecret(const QString& prompt, const QString& title)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (QThread::currentThread() != app->thread()) {
        std::optional<QString> secret;
        QMetaObject::invokeMethod(
            app, [&] { secret = askSecret(prompt, title); }, Qt::BlockingQueuedConnection);
        return secret;
    }
    QInputDialog dialog(Owner());
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setTextEchoMode(QLineEdit::Password);
    dialog.setInputMode(QInputDialog::TextInput);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

} // namespace zp
