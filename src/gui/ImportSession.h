#pragma once

#include <QWidget>
#include <atomic>
#include <memory>

#include "ImportProgress.h"
#include "import/ImportRun.h"

namespace vantrel::gui {

// Runs an import on a second thread, so that the windows keep repainting and "中止" can act,
// and returns once that thread has ended. The run's questions and closing display are put on
// this thread and answered here while the run waits. Nothing else may touch the session's state
// meanwhile: the owning window keeps itself inert until Run returns.
class ImportSession {
  public:
    ImportSession(QWidget* owner, SessionState& state, Engine& engine, UserPrompt& prompt);
    ~ImportSession();
    ImportSession(const ImportSession&) = delete;
    ImportSession& operator=(const ImportSession&) = delete;

    RunOutcome Run();
    // Asks the run to stop at its next check; the progress window says so until it has.
    void Cancel();

  private:
    void Configure(ImportRun& run);

    QWidget* owner_;
    SessionState& state_;
    Engine& engine_;
    UserPrompt& prompt_;
    std::unique_ptr<ImportProgress> progress_;
    std::atomic<bool> cancelled_{false};
};

}  // namespace vantrel::gui
