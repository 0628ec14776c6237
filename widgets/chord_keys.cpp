#include "widgets/chord_keys.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextEdit>

namespace zp {

namespace {

bool TypesText(const QObject* receiver)
{
    return qobject_cast<const QLineEdit*>(receiver) || qobject_cast<const QTextEdit*>(receiver)
        || qobject_cast<const QPlainTextEdit*>(receiver) || qobject_cast<const QAbstractSpinBox*>(receiver)
        || qobject_cast<const QComboBox*>(receiver);
}

// A text box takes the character of a key pressed with Alt as typed text (Qt leaves Alt characters
// to the keyboard layout); the filter hands the box the same key without its character instead.
class ChordFilter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        constexpr Qt::KeyboardModifiers chord = Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier;
        if (!(key->modifiers() & chord) || key->text().isEmpty() || !TypesText(receiver))
            return false;
        QKeyEvent silent(key->type(),
                         key->key(),
                         key->modifiers(),
                         key->nativeScanCode(),
                         key->nativeVirtualKey(),
                         key->nativeModifiers(),
                         QString(),
                         key->isAutoRepeat(),
                         key->count(),
                         key->device());
        // The copy goes up the parents as far as the key would have gone; the key itself stops here.
        QCoreApplication::sendEvent(receiver, &silent);
        key->accept();
        return true;
    }
};

} // namespace

void KeepChordsFromTyping()
{
    static QPointer<ChordFilter> installed;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || installed)
        return;
    installed = new ChordFilter(app);
    app->installEventFilter(installed);
}

} // namespace zp
