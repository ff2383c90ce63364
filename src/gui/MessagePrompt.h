#pragma once

#include <QWidget>
#include <functional>

#include "import/UserPrompt.h"

namespace vantrel::gui {

// One window's questions and messages: the standard message box titled "Vantrel", owned by that
// window so it comes up in front of it, or the answers a test put in its place. After an OK-only
// message the focus goes to the named control of this same window.
class MessagePrompt : public UserPrompt {
  public:
    explicit MessagePrompt(QWidget* owner) : owner_(owner) {}

    bool AskYesNo(const std::string& text) override;
    void ShowMessage(const std::string& text, const std::string& focus) override;
    void ShowErrorWindow() override;

    // Answers given instead of the boxes; nullptr for the boxes.
    void SetOverride(UserPrompt* answers) { override_ = answers; }
    UserPrompt* Override() const { return override_; }

    // What showing the error window means for the owning window.
    std::function<void()> OnShowErrors;

  private:
    QWidget* owner_;
    UserPrompt* override_ = nullptr;
};

}  // namespace vantrel::gui
