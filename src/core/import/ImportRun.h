#pragma once

#include <string>

#include "import/InputStaging.h"
#include "import/TableTransfer.h"
#include "import/UserPrompt.h"
#include "model/SessionState.h"
#include "sources/engine/Engine.h"

namespace vantrel {

// What a run did, for the windows and vantrel-run.
struct RunOutcome {
    bool Started = false;  // passed the checks and the confirmation
    bool Staged = false;
    bool Cancelled = false;
    std::string Summary;  // "table を n件 \n..." + "　　更新しました", empty when nothing to say
    TransferCounts Counts;
};

// The backup file of an output database: its extension replaced by "bak".
std::string BackupPathFor(const std::string& outputPath);

// An import run: checks the paths, asks about the backup and for confirmation, stages the input,
// copies the backup, transfers every pair and ends with the error window or the summary.
class ImportRun {
  public:
    ImportRun(SessionState& state, Engine& engine, UserPrompt& prompt)
        : state_(state), engine_(engine), prompt_(prompt) {}

    void SetProgress(TableTransfer::ProgressCallback progress) { progress_ = std::move(progress); }
    // Rows read while staging; returning false cancels the run before the output is opened.
    void SetStagingProgress(StagingProgress progress) { stagingProgress_ = std::move(progress); }

    bool CheckBeforeStart();
    RunOutcome Start();

  private:
    void Transfer(RunOutcome& outcome);
    void ClosingDisplay(RunOutcome& outcome);

    SessionState& state_;
    Engine& engine_;
    UserPrompt& prompt_;
    TableTransfer::ProgressCallback progress_;
    StagingProgress stagingProgress_;
};

}  // namespace vantrel
