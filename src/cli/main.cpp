// vantrel-run: runs a saved import definition without the windows, and answers quick questions
// about input files for scripts.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "common/TemporaryFolder.h"
#include "import/ImportRun.h"
#include "model/DefinitionFile.h"
#include "sources/DelimitedText.h"
#include "sources/SourceCatalog.h"
#include "sources/TextLineReader.h"

namespace {

using namespace vantrel;

const char* kUsage =
    "使い方 / usage:\n"
    "  vantrel-run [--yes] [--backup] [--quiet] [--allow-unverified-keys] DEFINITION.imp\n"
    "      定義ファイルのインポートを実行します (runs the import of a saved definition)\n"
    "      --yes     開始の確認をしない (do not ask for confirmation)\n"
    "      --backup  出力先のバックアップを取る (back up the output database first)\n"
    "      --quiet   進行状況を表示しない (no progress display)\n"
    "      --allow-unverified-keys\n"
    "                Access の索引キーが未確認の文字 (ー ｰ ゝ ゞ ヽ ヾ 々 など) を含む値も\n"
    "                テキスト型の索引に書き込む (write text index keys holding marks whose\n"
    "                keys are unverified; compact and repair the file in Access afterwards)\n"
    "  vantrel-run --tables FILE\n"
    "      ファイルのテーブル名を 1 行ずつ表示します (lists the tables of a file)\n"
    "  vantrel-run --fields FILE TABLE [--header-row N] [--delimiter D]\n"
    "      テーブルのフィールド名を 1 行ずつ表示します (lists the fields of a table)\n"
    "  vantrel-run --show DEFINITION.imp    定義ファイルの内容を表示します (prints a definition)\n"
    "  vantrel-run --version\n"
    "終了コード / exit status: 0 エラーなし (no errors), 1 エラーあり (errors logged), 2 "
    "開始できない "
    "(could not start)\n";

constexpr const char* kBackupQuestion = "出力先ファイルのバックアップをとりますか？";

// Questions are answered from the command line; the confirmation may be asked on the terminal.
class TerminalPrompt : public UserPrompt {
  public:
    TerminalPrompt(bool yes, bool backup) : yes_(yes), backup_(backup) {}

    bool AskYesNo(const std::string& text) override {
        if (text == kBackupQuestion) return backup_;
        if (yes_) return true;
        std::cerr << text << " [y/N] " << std::flush;
        std::string answer;
        if (!std::getline(std::cin, answer)) return false;
        return answer == "y" || answer == "Y" || answer == "yes" || answer == "はい";
    }
    void ShowMessage(const std::string& text, const std::string&) override {
        std::cout << text << "\n";
        messages_ = true;
    }
    void ShowErrorWindow() override { errorWindow_ = true; }

    bool ErrorWindowShown() const { return errorWindow_; }
    bool MessageShown() const { return messages_; }

  private:
    bool yes_;
    bool backup_;
    bool errorWindow_ = false;
    bool messages_ = false;
};

void PrintLog(const ErrorLog& log) {
    for (int32_t i = 1; i <= log.ErrorCount(); ++i)
        std::cerr << "エラー: " << log.DescribedLine(i) << "\n";
}

// A fresh work database path in the temporary folder, removed when the run ends; empty when no
// temporary folder can be written.
class WorkDatabase {
  public:
    WorkDatabase() : reserved_(ReserveTemporaryFile(TemporaryFolder(), "imp")) {
        if (!reserved_.empty()) path_ = reserved_ + ".mdb";
    }
    ~WorkDatabase() {
        std::error_code ec;
        if (!reserved_.empty()) std::filesystem::remove(reserved_, ec);
        if (!path_.empty()) std::filesystem::remove(path_, ec);
    }
    const std::string& Path() const { return path_; }

  private:
    std::string reserved_, path_;
};

int RunDefinition(const std::string& path, bool yes, bool backup, bool quiet,
                  bool allowUnverifiedKeys) {
    SessionState state;
    if (!ReadDefinitionFile(path, state.Definition, state.Errors)) {
        PrintLog(state.Errors);
        return 2;
    }
    if (backup) state.Definition.BackupFlag = true;
    state.StartCount = 1;  // the definition's own flag decides; no backup question here
    WorkDatabase work;
    if (work.Path().empty()) {
        std::cerr << "エラー: " << NoTemporaryFolderMessage() << "\n";
        return 2;
    }
    state.WorkDbPath = work.Path();
    Engine engine(state.Errors.Pending);
    engine.SetAllowUnverifiedKeys(allowUnverifiedKeys);
    TerminalPrompt prompt(yes, backup);
    ImportRun run(state, engine, prompt);
    const bool showProgress = !quiet && ::isatty(STDERR_FILENO);
    const auto started = std::chrono::steady_clock::now();
    if (showProgress) {
        run.SetProgress([&](const TransferProgress& p) {
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            std::fprintf(stderr, "\r[%d/%d] %s <- %s: %lld 行 (%.0f 行/秒)   ", p.Pair, p.PairCount,
                         p.OutTable.c_str(), p.InTable.c_str(), static_cast<long long>(p.Rows),
                         seconds > 0 ? static_cast<double>(p.Rows) / seconds : 0.0);
            return true;
        });
    }
    const RunOutcome outcome = run.Start();
    if (showProgress) std::fprintf(stderr, "\n");
    if (!outcome.Started) {
        if (!prompt.MessageShown()) std::cerr << "インポートは開始されませんでした。\n";
        return 2;
    }
    if (!outcome.Staged) {
        PrintLog(state.Errors);
        return 2;
    }
    if (!state.Errors.Empty()) {
        PrintLog(state.Errors);
        return 1;
    }
    if (outcome.Summary.empty()) std::cout << "書き込んだレコードはありません。\n";
    return 0;
}

int ListTables(const std::string& path) {
    SessionState state;
    MappingPanel panel;
    Engine engine(state.Errors.Pending);
    SourceCatalog catalog(state, engine, panel);
    const int side = IsDatabaseKind(FileKindOf(path)) ? kOutputSide : kInputSide;
    (side == kOutputSide ? state.Definition.OutputPath : state.Definition.InputPath) = path;
    SplitPath(state, side, path);
    catalog.ListTables(side, false);
    for (const auto& name : panel.Lists[static_cast<std::size_t>(side)].Items())
        std::cout << name << "\n";
    PrintLog(state.Errors);
    return state.Errors.Empty() ? 0 : 1;
}

int ListFields(const std::string& path, const std::string& table, int32_t headerRow,
               const std::string& delimiter) {
    SessionState state;
    MappingPanel panel;
    Engine engine(state.Errors.Pending);
    SourceCatalog catalog(state, engine, panel);
    state.Definition.Allocate(1, 1);
    TableSetting& pair = state.Definition.Table(1);
    pair.HeaderRow = headerRow;
    pair.Delimiter = delimiter;
    pair.InTable = table;
    pair.OutTable = table;
    const int side = IsDatabaseKind(FileKindOf(path)) ? kOutputSide : kInputSide;
    (side == kOutputSide ? state.Definition.OutputPath : state.Definition.InputPath) = path;
    NameList names;
    catalog.ListFields(1, side, names);
    for (int32_t i = 1; i <= names.Count(); ++i)
        std::cout << names[i] << "\n";
    PrintLog(state.Errors);
    return state.Errors.Empty() ? 0 : 1;
}

int ShowDefinition(const std::string& path) {
    ImportDefinition def;
    ErrorLog log;
    const bool ok = ReadDefinitionFile(path, def, log);
    std::cout << "出力ファイル: " << def.OutputPath << "\n入力ファイル: " << def.InputPath << "\n";
    for (int32_t t = 1; t <= def.UsableTableCount(); ++t) {
        const TableSetting& s = def.Table(t);
        std::cout << "[" << t << "] " << s.OutTable << " <- "
                  << (s.InTable.empty() ? "(未設定)" : s.InTable) << "\n";
        for (int32_t j = 1; j <= s.FieldCount && j <= def.FieldMax; ++j) {
            const FieldPair& f = def.FieldPairs(t, j);
            std::cout << "    " << f.OutField << " <- "
                      << (f.InField.empty() ? "(未設定)" : f.InField) << "\n";
        }
    }
    PrintLog(log);
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        std::cout << kUsage;
        return args.empty() ? 2 : 0;
    }
    if (args[0] == "--version") {
        std::cout << "Vantrel " << VANTREL_VERSION << "\n";
        return 0;
    }
    if (args[0] == "--show" && args.size() == 2) return ShowDefinition(args[1]);
    if (args[0] == "--tables" && args.size() == 2) return ListTables(args[1]);
    if (args[0] == "--fields" && args.size() >= 3) {
        int32_t headerRow = 1;
        std::string delimiter = ",";
        for (std::size_t i = 3; i + 1 < args.size(); i += 2) {
            if (args[i] == "--header-row") {
                headerRow = std::atoi(args[i + 1].c_str());
            } else if (args[i] == "--delimiter") {
                delimiter = args[i + 1] == "\\t" ? "\t" : args[i + 1];
            } else {
                std::cerr << kUsage;
                return 2;
            }
        }
        return ListFields(args[1], args[2], headerRow, delimiter);
    }
    bool yes = false, backup = false, quiet = false, allowUnverified = false;
    std::string definition;
    for (const auto& a : args) {
        if (a == "--yes") {
            yes = true;
        } else if (a == "--backup") {
            backup = true;
        } else if (a == "--quiet") {
            quiet = true;
        } else if (a == "--allow-unverified-keys") {
            allowUnverified = true;
        } else if (definition.empty() && !a.starts_with("--")) {
            definition = a;
        } else {
            std::cerr << kUsage;
            return 2;
        }
    }
    if (definition.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    return RunDefinition(definition, yes, backup, quiet, allowUnverified);
}
