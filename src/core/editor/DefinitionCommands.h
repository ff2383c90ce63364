#pragma once

#include <optional>
#include <string>

#include "editor/MappingPanel.h"
#include "import/UserPrompt.h"
#include "model/SessionState.h"
#include "sources/SourceCatalog.h"

namespace vantrel {

// The open and save dialogs of definition files. Both share one proposed file name, so the
// name chosen in one is offered by the next. Empty: cancelled.
class DefinitionDialogs {
  public:
    virtual ~DefinitionDialogs() = default;
    virtual std::optional<std::string> AskSavePath(const std::string& title,
                                                   const std::string& proposed) = 0;
    virtual std::optional<std::string> AskOpenPath(const std::string& title,
                                                   const std::string& proposed) = 0;
};

// New, open and save of the main window: the definition, its lists and grid, and the caption.
class DefinitionCommands {
  public:
    DefinitionCommands(SessionState& state, MappingPanel& panel, SourceCatalog& catalog,
                       DefinitionDialogs& dialogs, UserPrompt& prompt, int32_t nowVer)
        : state_(state),
          panel_(panel),
          catalog_(catalog),
          dialogs_(dialogs),
          prompt_(prompt),
          nowVer_(nowVer) {}

    // 保存: asks for the file (".txt" in the proposed name becomes ".imp") and writes it; a name
    // without extension gets ".imp", asking first when a file of that name exists.
    bool SaveDefinition();
    // Offers to save a changed definition, then empties it and the window.
    void ResetDefinition();
    // 新規: asks to save, then resets (which may ask again).
    void NewDefinition();
    // 開く, or the start-up with `startFile`: resets, reads the file, rebuilds lists and grid.
    // False when nothing was opened (cancelled, or a start file that is no definition).
    bool OpenDefinition(std::string startFile = {});

    const std::string& Caption() const { return caption_; }
    const std::string& DialogFileName() const { return dialogFile_; }

  private:
    SessionState& state_;
    MappingPanel& panel_;
    SourceCatalog& catalog_;
    DefinitionDialogs& dialogs_;
    UserPrompt& prompt_;
    int32_t nowVer_;
    std::string caption_ = "Vantrel";
    std::string dialogFile_;  // the name both dialogs propose
};

// True when the last three characters of a start-up path are "imp" in any letter case.
bool LooksLikeDefinitionFile(const std::string& path);

}  // namespace vantrel
