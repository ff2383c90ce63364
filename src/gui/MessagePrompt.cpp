#include "MessagePrompt.h"

#include <QMessageBox>

namespace vantrel::gui {

bool MessagePrompt::AskYesNo(const std::string& text) {
    return QMessageBox::question(owner_, "Vantrel", QString::fromStdString(text),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

void MessagePrompt::ShowMessage(const std::string& text, const std::string& focus) {
    QMessageBox::information(owner_, "Vantrel", QString::fromStdString(text), QMessageBox::Ok);
    if (!focus.empty() && OnFocus) OnFocus(focus);
}

void MessagePrompt::ShowErrorWindow() {
    if (OnShowErrors) OnShowErrors();
}

}  // namespace vantrel::gui
