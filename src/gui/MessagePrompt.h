#pragma once

#include <QWidget>
#include <functional>

#include "import/UserPrompt.h"

namespace vantrel::gui {

// Questions and messages as the standard message box titled "Vantrel": only OK, or Yes and No.
class MessagePrompt : public UserPrompt {
  public:
    explicit MessagePrompt(QWidget* owner) : owner_(owner) {}

    bool AskYesNo(const std::string& text) override;
    void ShowMessage(const std::string& text, const std::string& focus) override;
    void ShowErrorWindow() override;

    // What showing the error window and moving the focus mean for the owning window.
    std::function<void()> OnShowErrors;
    std::function<void(const std::string&)> OnFocus;

  private:
    QWidget* owner_;
};

}  // namespace vantrel::gui
