#include "import/ImportRun.h"

#include <sys/stat.h>

#include "common/SafeFile.h"
#include "import/InputStaging.h"
#include "sources/SourceCatalog.h"

namespace vantrel {

namespace {

constexpr const char* kCancelled =
    "インポートは中止されました。出力先のデータベースは変更されていません。";

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

}  // namespace

std::string BackupPathFor(const std::string& outputPath) {
    // Only the file name's extension is replaced: a dot in a folder name is not one.
    const auto nameStart = outputPath.find_last_of("/\\");
    const auto dot = outputPath.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && (nameStart == std::string::npos || dot > nameStart);
    return (hasExtension ? outputPath.substr(0, dot + 1) : outputPath + ".") + "bak";
}

bool ImportRun::CheckBeforeStart() {
    const ImportDefinition& def = state_.Definition;
    if (def.OutputPath.empty()) {
        prompt_.ShowMessage("出力ファイルを選択して下さい", "CmdOut");
        return false;
    }
    if (!FileExists(def.OutputPath)) {
        prompt_.ShowMessage(def.OutputPath + "は存在しません " + "出力ファイルを選択して下さい",
                            "CmdOut");
        return false;
    }
    if (def.InputPath.empty()) {
        prompt_.ShowMessage("入力ファイルを選択して下さい", "CmdIn");
        return false;
    }
    if (!FileExists(def.InputPath)) {
        prompt_.ShowMessage(def.InputPath + "は存在しません " + "入力ファイルを選択して下さい",
                            "CmdIn");
        return false;
    }
    if (def.InputPath == def.OutputPath) {
        prompt_.ShowMessage("自分自身へインポートはできません");
        return false;
    }
    return true;
}

RunOutcome ImportRun::Start() {
    RunOutcome outcome;
    if (!CheckBeforeStart()) return outcome;
    ImportDefinition& def = state_.Definition;
    if (state_.StartCount == 0) {
        state_.StartCount = 1;
        if (!def.BackupFlag && prompt_.AskYesNo("出力先ファイルのバックアップをとりますか？"))
            def.BackupFlag = true;
    }
    if (prompt_.AskYesNo(def.InputPath + "から" + "\n" + def.OutputPath +
                         "へインポートを開始します")) {
        outcome.Started = true;
        state_.Errors.Clear();
        outcome.Counts.PairErrorCounts.assign(static_cast<std::size_t>(def.TableMax) + 1, 0);
        outcome.Counts.PairRecordCounts.assign(static_cast<std::size_t>(def.TableCount) + 1, 0);
        bool stopped = false;
        outcome.Staged = StageInput(state_, engine_, [&](int64_t rows) {
            stopped = stopped || (stagingProgress_ && !stagingProgress_(rows));
            return !stopped;
        });
        if (stopped) {
            outcome.Staged = false;
            outcome.Cancelled = true;
            state_.Errors.AddErrorLine(kCancelled);
        }
        if (outcome.Staged) {
            if (def.BackupFlag)
                CopyFileAtomically(def.OutputPath, BackupPathFor(def.OutputPath),
                                   state_.Errors.Pending);
            Transfer(outcome);
            state_.UndoDepth = 0;
            state_.UndoPos = 0;
        }
    }
    ClosingDisplay(outcome);
    return outcome;
}

void ImportRun::Transfer(RunOutcome& outcome) {
    ImportDefinition& def = state_.Definition;
    ErrorLog& log = state_.Errors;
    // The backup's error, if any, must reach the first pair's check point, not be replaced.
    ErrorState backupError = log.Pending;
    log.Pending.Clear();
    auto output = engine_.OpenDatabase(def.OutputPath, 2, false, ";DATABASE=" + def.OutputPath);
    auto work = engine_.OpenDatabase(state_.WorkDbPath, 0, false);
    const int32_t pairs = std::min(
        def.UsableTableCount(), static_cast<int32_t>(outcome.Counts.PairRecordCounts.size()) - 1);
    if (!output || !work) {
        // Every pair's line carries the reason, though logging a line clears the pending error.
        const std::string reason = log.Pending.Description;
        for (int32_t t = 1; t <= pairs; ++t) {
            if (def.Table(t).InTable.empty()) continue;
            log.AddErrorLine(def.Table(t).OutTable + "は、" + reason +
                             "ため、インポートできませんでした");
        }
        if (output) output->DiscardChanges();
        return;
    }
    if (backupError.IsSet()) log.Pending = backupError;
    TableTransfer transfer(state_, *output, *work, outcome.Counts);
    transfer.SetProgress(progress_);
    for (int32_t t = 1; t <= pairs && !transfer.Cancelled(); ++t)
        transfer.TransferPair(t, pairs);
    work->Close();
    if (transfer.Cancelled()) {
        // Nothing of a cancelled run reaches the output database.
        output->DiscardChanges();
        outcome.Cancelled = true;
        log.AddErrorLine(kCancelled);
        return;
    }
    const auto notices = output->Notices();
    output->Close();
    if (log.Pending.IsSet()) log.AddErrorLine(log.Pending.WithNumber());  // the final commit failed
    for (const auto& line : notices)
        log.AddErrorLine(line);
}

void ImportRun::ClosingDisplay(RunOutcome& outcome) {
    if (!state_.Errors.Empty()) {
        prompt_.ShowErrorWindow();
        return;
    }
    if (!outcome.Started) return;
    std::string summary;
    const ImportDefinition& def = state_.Definition;
    for (int32_t t = 1; t < static_cast<int32_t>(outcome.Counts.PairRecordCounts.size()) &&
                        t <= def.UsableTableCount();
         ++t) {
        const int64_t n = outcome.Counts.PairRecordCounts[static_cast<std::size_t>(t)];
        if (n != 0) summary += def.Table(t).OutTable + "を " + std::to_string(n) + "件 " + "\n";
    }
    if (summary.empty()) return;
    outcome.Summary = summary + "　　更新しました";
    prompt_.ShowMessage(outcome.Summary);
}

}  // namespace vantrel
