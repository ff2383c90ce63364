#pragma once

#include <string>

namespace vantrel {

// The questions and messages an operation needs from the user. The windows answer with message
// boxes, vantrel-run on the terminal, tests with prepared answers.
class UserPrompt {
  public:
    virtual ~UserPrompt() = default;
    // A Yes/No question; true for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
    // An OK-only message; `focus` names the control that should take the focus afterwards
    // ("CmdOut", "CmdIn", or empty).
    virtual void ShowMessage(const std::string& text, const std::string& focus = {}) = 0;
    // Shows the error log window without blocking.
    virtual void ShowErrorWindow() = 0;
};

}  // namespace vantrel
