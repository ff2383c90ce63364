#pragma once

#include <QWidget>
#include <optional>
#include <string>

#include "editor/DefinitionCommands.h"

namespace vantrel::gui {

// The file dialogs of the main window; tests put prepared answers in their place.
class FileDialogs : public DefinitionDialogs {
  public:
    // The input (side 1) or output (side 0) file; empty when cancelled.
    virtual std::optional<std::string> AskDataFile(int side) = 0;
};

class QtFileDialogs final : public FileDialogs {
  public:
    explicit QtFileDialogs(QWidget* owner) : owner_(owner) {}
    std::optional<std::string> AskDataFile(int side) override;
    std::optional<std::string> AskSavePath(const std::string& title,
                                           const std::string& proposed) override;
    std::optional<std::string> AskOpenPath(const std::string& title,
                                           const std::string& proposed) override;

  private:
    QWidget* owner_;
};

}  // namespace vantrel::gui
