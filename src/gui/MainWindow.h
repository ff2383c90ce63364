#pragma once

#include <QAction>
#include <QFrame>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <memory>

#include "ErrorWindow.h"
#include "FileDialogs.h"
#include "ImportSession.h"
#include "MappingView.h"
#include "MessagePrompt.h"
#include "editor/DefinitionCommands.h"
#include "editor/FieldLister.h"
#include "editor/MappingOperations.h"
#include "editor/RowMoves.h"
#include "model/SessionState.h"
#include "sources/SourceCatalog.h"

namespace vantrel::gui {

class DialogRelay final : public FileDialogs {
  public:
    FileDialogs* Target = nullptr;
    std::optional<std::string> AskDataFile(int side) override { return Target->AskDataFile(side); }
    std::optional<std::string> AskSavePath(const std::string& t, const std::string& p) override {
        return Target->AskSavePath(t, p);
    }
    std::optional<std::string> AskOpenPath(const std::string& t, const std::string& p) override {
        return Target->AskOpenPath(t, p);
    }
};

// The main window: output and input tables, the table pairs between them, the definition file
// commands and the import start. It renders the editor's state and forwards events to it.
class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    explicit MainWindow(SessionState& state, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up with the program's command line (quotes removed); false when the program should
    // end because the named file is no definition.
    bool StartUp(const QString& commandLineFile);

    // Re-applies the button states and redraws lists, grid and path line.
    void EnabledSwitch();
    void ShowErrors();

    SessionState& State() { return state_; }
    MappingPanel& Panel() { return panel_; }
    // Questions and file dialogs go to these instead of the real boxes (tests answer them); the
    // windows opened from here answer their own questions the same way.
    void SetPrompt(UserPrompt* prompt) { prompt_.SetOverride(prompt); }
    UserPrompt* PromptOverride() const { return prompt_.Override(); }
    void SetFileDialogs(FileDialogs* dialogs) { dialogs_.Target = dialogs ? dialogs : &qtDialogs_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void BuildControls();
    void BuildMenus();
    void Connect();
    void Layout();
    void RefreshPathLine();
    void FitColumns();
    void ChooseFile(int side);
    void StartImport();
    void OpenFieldSettings(bool fromPopup);
    void OpenHelp();
    void ShowVersion();
    void SetTabOrder();
    // Runs an editing operation: reads the list selections, runs it, redraws.
    template <typename Operation>
    void Edit(Operation operation);

    SessionState& state_;
    Engine engine_;
    MappingPanel panel_;
    GridPopup popup_;
    SourceCatalog catalog_;
    CatalogFieldLister fields_;
    MappingOperations operations_;
    RowMoves moves_;
    MessagePrompt prompt_;
    QtFileDialogs qtDialogs_;
    DialogRelay dialogs_;
    DefinitionCommands commands_;
    QPointer<ErrorWindow> errorWindow_;
    QPointer<QWidget> fieldSettings_;
    QPointer<QWidget> versionBox_;
    // The import running now, if any; the window closes when it ends once asked to.
    ImportSession* run_ = nullptr;
    bool closeAfterRun_ = false;
    bool shutDown_ = false;

    QToolButton *new_, *open_, *save_, *undo_, *help_;
    QPushButton* cmdOk_;
    QFrame* frame_;
    QPushButton *cmdOut_, *cmdIn_, *sendOut_, *back0_, *sendIn_, *setOrder_, *back1_, *fieldSet_,
        *start_;
    QToolButton* fuseigou_;
    NameListWidget *list0_, *list1_;
    MappingGridWidget* grid_;
    QLineEdit* pathLine_;
    QAction *backup_, *unverifiedKeys_, *showErrors_, *version_;
    QMenu* popupMenu_;
    QAction *popupFields_, *popupMove_, *popupAbove_, *popupBelow_;
};

}  // namespace vantrel::gui
