#include "MessagePrompt.h"

#include <QMessageBox>

namespace vantrel::gui {

bool MessagePrompt::AskYesNo(const std::string& text) {
    if (override_) return override_->AskYesNo(text);
    return QMessageBox::question(owner_, "Vantrel", QString::fromStdString(text),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

void MessagePrompt::ShowMessage(const std::string& text, const std::string& focus) {
    if (override_)
        override_->ShowMessage(text, focus);
    else
        QMessageBox::information(owner_, "Vantrel", QString::fromStdString(text), QMessageBox::Ok);
    if (focus.empty()) return;
    // Child windows share control names ("Text1"): only this window's own control will do.
    const QString name = QString::fromStdString(focus);
    for (QWidget* w : owner_->findChildren<QWidget*>(name)) {
        if (w->window() != owner_->window()) continue;
        w->setFocus(Qt::OtherFocusReason);
        return;
    }
}

void MessagePrompt::ShowErrorWindow() {
    if (override_)
        override_->ShowErrorWindow();
    else if (OnShowErrors)
        OnShowErrors();
}

}  // namespace vantrel::gui
