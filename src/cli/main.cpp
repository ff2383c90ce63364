// vantrel-run: the headless runner for saved import definitions.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "model/DefinitionFile.h"
#include "sources/DelimitedText.h"
#include "sources/TextLineReader.h"

namespace {

const char* kUsage =
    "使い方 / usage:\n"
    "  vantrel-run --show DEFINITION.imp\n"
    "      定義ファイルの内容を表示します (prints a saved import definition)\n"
    "  vantrel-run --preview FILE.csv [--delimiter D] [--lines N]\n"
    "      テキストファイルの先頭行を区切って表示します (splits the first lines of a text file)\n"
    "  vantrel-run --version\n";

const char* WriteModeName(int32_t mode) {
    switch (mode) {
        case vantrel::WriteMode::New:
            return "新規";
        case vantrel::WriteMode::Append:
            return "追加";
        case vantrel::WriteMode::Update:
            return "更新";
        default:
            return "不明";
    }
}

void PrintLog(const vantrel::ErrorLog& log) {
    for (const auto& line : log.Lines())
        std::cerr << "エラー: " << line << "\n";
}

int ShowDefinition(const std::string& path) {
    vantrel::ImportDefinition def;
    vantrel::ErrorLog log;
    const bool ok = vantrel::ReadDefinitionFile(path, def, log);
    std::cout << "バージョン: " << def.FileVersion << "\n"
              << "出力ファイル: " << def.OutputPath << "\n"
              << "入力ファイル: " << def.InputPath << "\n"
              << "バックアップ: " << (def.BackupFlag ? "取る" : "取らない") << "\n"
              << "テーブル数: " << def.TableCount << " (最大 " << def.TableMax
              << ", フィールド最大 " << def.FieldMax << ")\n";
    for (int32_t t = 1; t <= def.UsableTableCount(); ++t) {
        const vantrel::TableSetting& s = def.Table(t);
        std::cout << "[" << t << "] " << s.OutTable << " <- "
                  << (s.InTable.empty() ? "(未設定)" : s.InTable) << "  "
                  << WriteModeName(s.WriteMode) << ", 見出し行 " << s.HeaderRow
                  << ", ｲﾝﾎﾟｰﾄしない行 \"" << s.SkipRows << "\"\n";
        for (int32_t j = 1; j <= s.FieldCount && j <= def.FieldMax; ++j) {
            const vantrel::FieldPair& f = def.FieldPairs(t, j);
            std::cout << "    " << f.OutField << " <- "
                      << (f.InField.empty() ? "(未設定)" : f.InField) << "\n";
        }
    }
    PrintLog(log);
    return ok ? 0 : 1;
}

int Preview(const std::string& path, const std::string& delimiter, long lines) {
    vantrel::TextLineReader reader;
    vantrel::ErrorLog log;
    if (!reader.Open(path, log.Pending, &log)) {
        log.AddPendingWithNumber();
        PrintLog(log);
        return 1;
    }
    std::cout << "文字コード: " << vantrel::EncodingDisplayName(reader.Encoding())
              << (reader.Layout().LfEndsLines ? " / 改行 LF" : " / 改行 CR LF") << "\n";
    std::string line;
    while (reader.LineNumber() < lines && reader.ReadLine(line)) {
        const auto pieces = vantrel::SplitLine(line, delimiter);
        std::cout << reader.LineNumber() << ":";
        for (const auto& p : pieces)
            std::cout << " [" << p << "]";
        std::cout << "\n";
    }
    PrintLog(log);
    return log.Empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--version") {
        std::cout << "Vantrel " << VANTREL_VERSION << "\n";
        return 0;
    }
    if (args.size() == 2 && args[0] == "--show") return ShowDefinition(args[1]);
    if (!args.empty() && args[0] == "--preview" && args.size() >= 2) {
        std::string delimiter = ",";
        long lines = 10;
        for (std::size_t i = 2; i + 1 < args.size(); i += 2) {
            if (args[i] == "--delimiter") {
                delimiter = args[i + 1] == "\\t" ? "\t" : args[i + 1];
            } else if (args[i] == "--lines") {
                lines = std::strtol(args[i + 1].c_str(), nullptr, 10);
            } else {
                std::cerr << kUsage;
                return 2;
            }
        }
        return Preview(args[1], delimiter, lines);
    }
    std::cerr << kUsage;
    return 2;
}
