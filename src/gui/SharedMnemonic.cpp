#include "SharedMnemonic.h"

#include <QApplication>
#include <QKeyEvent>

namespace vantrel::gui {

SharedMnemonic::SharedMnemonic(QWidget* body, QAbstractButton* button)
    : QObject(body), body_(body), button_(button), key_(QKeySequence::mnemonic(button->text())) {
    // The button gives up its own shortcut so that the menu's is the only one left; the key
    // reaches the button through this filter instead.
    button_->setShortcut(QKeySequence());
    qApp->installEventFilter(this);
}

bool SharedMnemonic::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    // Decided by where the focus is: the event also passes the focus widget's parents.
    QWidget* focus = QApplication::focusWidget();
    if (key_.isEmpty() || key->keyCombination() != key_[0] || watched != focus || !focus ||
        focus == button_ || !body_->isAncestorOf(focus) || !button_->isEnabled() ||
        !button_->isVisible())
        return false;
    if (event->type() == QEvent::ShortcutOverride) {
        key->accept();  // the key is the button's here, not the menu's
        return true;
    }
    button_->setFocus(Qt::ShortcutFocusReason);
    return true;
}

}  // namespace vantrel::gui
