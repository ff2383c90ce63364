#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "import/ImportRun.h"

// What the import tests share: prompts answered from a script, SQLite outputs made from SQL and
// read back as text, and a run over a copy of an output database.
namespace vantrel::test {

// Answers questions from a script and remembers what was shown.
class ScriptedPrompt : public UserPrompt {
  public:
    std::deque<bool> Answers;
    std::vector<std::string> Questions, Messages, Focus;
    int ErrorWindows = 0;

    bool AskYesNo(const std::string& text) override {
        Questions.push_back(text);
        if (Answers.empty()) return true;
        const bool a = Answers.front();
        Answers.pop_front();
        return a;
    }
    void ShowMessage(const std::string& text, const std::string& focus) override {
        Messages.push_back(text);
        Focus.push_back(focus);
    }
    void ShowErrorWindow() override { ++ErrorWindows; }
};

inline void Exec(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK)
        << (message ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
}

inline std::vector<std::string> Rows(const std::string& path, const std::string& sql) {
    std::vector<std::string> rows;
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
        std::string row;
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
            row += (c ? "|" : "") + std::string(text ? text : "<null>");
        }
        rows.push_back(row);
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

struct RunFixture {
    TempDir dir;
    SessionState state;
    Engine engine{state.Errors.Pending};
    ScriptedPrompt prompt;
    std::string output = dir.File("out.sqlite");

    // `schema` builds an SQLite output; "access:NAME" copies that Access fixture instead.
    RunFixture(const std::string& input, const std::string& schema) {
        state.WorkDbPath = dir.File("work.mdb");
        state.StartCount = 1;  // the backup question is tested on its own
        if (schema.rfind("access:", 0) == 0) {
            output = dir.File(schema.substr(7));
            std::filesystem::copy_file(Fixture("access/" + schema.substr(7)), output);
        } else {
            Exec(output, schema);
        }
        state.Definition.OutputPath = output;
        state.Definition.InputPath = input;
        state.Definition.Allocate(3, 6);
    }
    // Pair t writes `out` from `in`; `fields` are (output field, input field).
    TableSetting& Pair(int32_t t, const std::string& out, const std::string& in,
                       const std::vector<std::pair<std::string, std::string>>& fields) {
        state.Definition.TableCount = std::max(state.Definition.TableCount, t);
        TableSetting& s = state.Definition.Table(t);
        s = state.Definition.DefaultTableSetting;
        s.FieldSlot = t;
        s.OutTable = out;
        s.InTable = in;
        int32_t j = 0;
        for (const auto& [o, i] : fields)
            state.Definition.FieldPairs(t, ++j) = FieldPair{i, o};
        while (j < state.Definition.FieldMax)
            state.Definition.FieldPairs(t, ++j) = FieldPair{};
        return s;
    }
    RunOutcome Start() {
        ImportRun run(state, engine, prompt);
        return run.Start();
    }
};

// Every row of `table` in the database at `path` (any kind the engine reads), as values.
inline std::vector<std::vector<Value>> ReadTable(const std::string& path,
                                                 const std::string& table) {
    std::vector<std::vector<Value>> rows;
    ErrorState error;
    Engine engine(error);
    auto db = engine.OpenDatabase(path, 0, true);
    EXPECT_TRUE(db) << path << ": " << error.Description;
    if (!db) return rows;
    auto rs = db->OpenRecordset(table);
    EXPECT_TRUE(rs) << table << ": " << error.Description;
    for (; rs && !rs->Eof(); rs->MoveNext()) {
        std::vector<Value> row;
        for (int32_t c = 0; c < rs->FieldCount(); ++c)
            row.push_back(rs->GetValue(c));
        rows.push_back(std::move(row));
    }
    EXPECT_FALSE(error.IsSet()) << table << ": " << error.Description;
    return rows;
}

// Whether some line of the log contains `part`.
inline bool LogHas(const ErrorLog& log, const std::string& part) {
    return std::any_of(log.Lines().begin(), log.Lines().end(), [&](const std::string& line) {
        return line.find(part) != std::string::npos;
    });
}

}  // namespace vantrel::test
