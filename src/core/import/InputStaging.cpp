#include "import/InputStaging.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <set>

#include "common/TextCase.h"
#include "sources/DelimitedText.h"
#include "sources/SourceCatalog.h"
#include "sources/TextRowFeed.h"

namespace vantrel {

namespace {

constexpr const char* kWorkLocale = ";LANGID=0x0409;CP=1252;COUNTRY=0";
constexpr const char* kStopped = " 処理を中止します";
constexpr int64_t kReportEveryRows = 1000;

// Counts the input rows read for the progress display; false once staging is to stop.
class StagingTicker {
  public:
    explicit StagingTicker(const StagingProgress& progress) : progress_(progress) {}
    bool Row() { return ++rows_ % kReportEveryRows != 0 || Report(); }
    bool Report() {
        stopped_ = stopped_ || (progress_ && !progress_(rows_));
        return !stopped_;
    }
    bool Stopped() const { return stopped_; }

  private:
    const StagingProgress& progress_;
    int64_t rows_ = 0;
    bool stopped_ = false;
};

void LogPending(ErrorLog& log, const std::string& suffix = {}) {
    if (log.Pending.IsSet()) log.AddErrorLine(log.Pending.Description + suffix);
}

bool PairHasInput(const ImportDefinition& def, int32_t t) {
    return !def.Table(t).InTable.empty();
}

// A pair's rows not to import: the one place staging reads SkipRows.
class SkipList {
  public:
    explicit SkipList(const std::string& text) : rows_(ParseSkipRows(text)) {}
    // Workbooks and text files: see IsSkippedRow.
    bool SkipsLine(int64_t x) const { return IsSkippedRow(rows_, x); }
    // Database tables: plain membership.
    bool Contains(int64_t x) const { return rows_.Contains(x); }
    bool Empty() const { return rows_.Empty(); }
    const RowsToSkip& Rows() const { return rows_; }

  private:
    RowsToSkip rows_;
};

// Builds one staged table: the header row (or the first kept row) names the fields; rows after
// the header are added as records.
class StagedTable {
  public:
    StagedTable(Database& work, ErrorLog& log, SourceRowMap& rows, std::string name)
        : work_(work), log_(log), rows_(rows), name_(std::move(name)) {}

    bool Built() const { return built_; }

    void Build(const std::vector<std::string>& names) {
        TableDefDraft draft = work_.CreateTableDef(name_);
        std::set<std::string> used;
        for (std::size_t c = 0; c < names.size(); ++c) {
            std::string name = names[c];
            // Two header cells with the same text would make the table impossible to create.
            if (used.count(LowerKey(name))) name = GeneratedFieldName(static_cast<int32_t>(c + 1));
            used.insert(LowerKey(name));
            draft.CreateField(name, FieldType::Memo);
        }
        if (!work_.Append(draft)) LogPending(log_);
        records_ = work_.OpenRecordset(name_);
        if (!records_) LogPending(log_);
        built_ = true;
    }

    // Adds a record from input row `row`; a cell that cannot be stored is logged as cell:reason.
    void Add(const std::vector<std::string>& cells, int64_t columns, int64_t row) {
        if (!records_) return;
        rows_.Add(name_, row);
        records_->AddNew();
        for (int64_t c = 0; c < columns && c < static_cast<int64_t>(cells.size()); ++c) {
            const std::string& cell = cells[static_cast<std::size_t>(c)];
            if (cell.empty()) continue;
            records_->SetValue(static_cast<int32_t>(c), Value::Text(cell));
            if (log_.Pending.IsSet()) log_.AddErrorLine(cell + ":" + log_.Pending.Description);
        }
        records_->Update();
    }

    void Close() {
        if (records_) records_->Close();
    }

  private:
    static std::string LowerKey(const std::string& s) {
        std::string out = s;
        std::transform(out.begin(), out.end(), out.begin(), [](char ch) {
            return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
        });
        return out;
    }

    Database& work_;
    ErrorLog& log_;
    SourceRowMap& rows_;
    std::string name_;
    std::unique_ptr<Recordset> records_;
    bool built_ = false;
};

// Why the staged table of a pair with a header row was not built though its input was read.
void LogMissingHeaderRow(ErrorLog& log, const TableSetting& pair, const RowsToSkip& skip,
                         int64_t rowsRead) {
    if (pair.HeaderRow == 0) return;
    const std::string row = std::to_string(pair.HeaderRow);
    const std::string why =
        pair.HeaderRow < 0 ? "(" + row + ") が不正です"
        : IsSkippedRow(skip, pair.HeaderRow)
            ? "(" + row + " 行目) はインポートしない行です"
            : "(" + row + " 行目) がありません (" + std::to_string(rowsRead) + " 行)";
    log.SetRow(0);
    log.AddErrorLine(pair.OutTable + "は、" + pair.InTable + "の見出し行 " + why +
                     "。インポート方法を確認して下さい");
}

// The input of a pair could not be read (or stored) to its end: its transfer must not write
// the part that was, so the pair is refused with this reason.
void MarkIncomplete(SessionState& state, const std::string& staged, const TableSetting& pair,
                    int64_t rowsRead) {
    std::string why = "入力テーブル '" + pair.InTable + "' を最後まで読み込めなかった";
    if (rowsRead > 0) why += " (" + std::to_string(rowsRead) + " 行目まで)";
    state.IncompleteStaging.emplace(staged, why);
}

std::unique_ptr<Database> CreateWorkDatabase(SessionState& state, Engine& engine) {
    auto work = engine.CreateDatabase(state.WorkDbPath, kWorkLocale);
    if (!work) LogPending(state.Errors, kStopped);
    return work;
}

bool StageWorkbook(SessionState& state, Engine& engine, const std::vector<std::string>& stagedNames,
                   StagingTicker& ticker) {
    ImportDefinition& def = state.Definition;
    ErrorLog& log = state.Errors;
    auto work = CreateWorkDatabase(state, engine);
    if (!work) return false;
    auto book = engine.OpenDatabase(def.InputPath, 1, true, "Excel 8.0;HDR=NO;IMEX=1;");
    if (!book) {
        LogPending(log, kStopped);
        work->Close();
        return false;
    }
    std::set<std::string> stagedAlready;
    for (int32_t t = 1; t <= def.UsableTableCount() && !ticker.Stopped(); ++t) {
        if (!PairHasInput(def, t)) continue;
        const TableSetting& pair = def.Table(t);
        // Pairs reading one sheet alike share its table; each other pair gets its own.
        const std::string& name = stagedNames[static_cast<std::size_t>(t)];
        if (!stagedAlready.insert(name).second) continue;
        auto sheet = book->OpenRecordset(pair.InTable);
        if (!sheet) {
            LogPending(log, " " + pair.InTable + "の処理を中止します");
            continue;
        }
        const SkipList skip(pair.SkipRows);
        StagedTable staged(*work, log, state.StagedRows, name);
        int64_t x = 0;
        for (; !sheet->Eof() && ticker.Row(); sheet->MoveNext()) {
            ++x;
            if (skip.SkipsLine(x)) continue;
            log.SetRow(x);
            std::vector<std::string> raw, cells;
            for (int32_t c = 0; c < sheet->FieldCount(); ++c) {
                const Value v = sheet->GetValue(c);
                raw.push_back(v.IsNull() ? std::string{} : v.ToText());
                std::string text = raw.back();
                text.erase(std::remove(text.begin(), text.end(), '"'), text.end());
                cells.push_back(std::move(text));
            }
            if ((pair.HeaderRow == 0 && !staged.Built()) ||
                (pair.HeaderRow != 0 && x == pair.HeaderRow)) {
                std::vector<std::string> names;
                for (std::size_t c = 0; c < raw.size(); ++c) {
                    names.push_back(raw[c].empty() || pair.HeaderRow == 0
                                        ? GeneratedFieldName(static_cast<int32_t>(c + 1))
                                        : raw[c]);
                }
                staged.Build(names);
            }
            if (pair.HeaderRow < x) staged.Add(cells, static_cast<int64_t>(cells.size()), x);
        }
        if (log.Pending.IsSet() && !ticker.Stopped()) MarkIncomplete(state, name, pair, x);
        LogPending(log);
        if (!staged.Built()) LogMissingHeaderRow(log, pair, skip.Rows(), x);
        staged.Close();
        sheet->Close();
    }
    book->Close();
    work->Close();
    return !ticker.Stopped();
}

bool StageText(SessionState& state, Engine& engine, const std::vector<std::string>& stagedNames,
               StagingTicker& ticker) {
    ImportDefinition& def = state.Definition;
    ErrorLog& log = state.Errors;
    auto work = CreateWorkDatabase(state, engine);
    if (!work) return false;
    TextRowFeed feed;
    if (!feed.Open(def.InputPath, log.Pending)) {
        LogPending(log);
        work->Close();
        return false;
    }
    bool fileRead = false;
    for (int32_t t = 1; t <= def.UsableTableCount() && !ticker.Stopped(); ++t) {
        if (!PairHasInput(def, t)) continue;
        const TableSetting& pair = def.Table(t);
        const std::string& tableName = stagedNames[static_cast<std::size_t>(t)];
        const SkipList skip(pair.SkipRows);
        StagedTable staged(*work, log, state.StagedRows, tableName);
        int64_t columns = 0, x = 0;
        const bool readsTheFile = !fileRead;
        // The file is read once: a later pair naming the same text table finds it at its end.
        while (const TextRowFeed::Row* row = feed.Next(pair.Delimiter)) {
            if (!ticker.Row()) break;
            x = row->Line;
            if (!row->Notice.empty()) {
                log.SetRow(x);
                log.AddErrorLine(row->Notice);
            }
            if (skip.SkipsLine(x)) continue;
            log.SetRow(x);
            const std::vector<std::string>& cells = row->Cells;
            if ((pair.HeaderRow == 0 && !staged.Built()) ||
                (pair.HeaderRow != 0 && x == pair.HeaderRow)) {
                columns = static_cast<int64_t>(cells.size());
                if (columns > 0 && cells.back().empty())
                    --columns;  // a trailing delimiter adds no column
                std::vector<std::string> names;
                for (int64_t c = 0; c < columns; ++c) {
                    const std::string& cell = cells[static_cast<std::size_t>(c)];
                    names.push_back(cell.empty() || pair.HeaderRow == 0
                                        ? GeneratedFieldName(static_cast<int32_t>(c + 1))
                                        : cell);
                }
                staged.Build(names);
                if (log.Pending.IsSet())
                    log.AddErrorLine(tableName + ":" + log.Pending.Description);
            }
            if (pair.HeaderRow < x) {
                staged.Add(cells, columns, x);
                log.Pending.Clear();  // a failing Update of a text row is not reported
            }
        }
        fileRead = true;
        if (readsTheFile && !staged.Built()) LogMissingHeaderRow(log, pair, skip.Rows(), x);
        staged.Close();
    }
    if (feed.ReadError().IsSet()) {
        log.Pending = feed.ReadError();
        for (int32_t t = 1; t <= def.UsableTableCount(); ++t)
            if (PairHasInput(def, t))
                MarkIncomplete(state, stagedNames[static_cast<std::size_t>(t)], def.Table(t), 0);
    }
    LogPending(log);
    feed.Close();
    work->Close();
    return !ticker.Stopped();
}

// Copies one input table into the work database, leaving out the records at the positions of
// `skip`; false when the copy could not be made (logged, or left pending for the transfer).
bool CopyTable(SessionState& state, Database& input, Database& work, const TableSetting& pair,
               const std::string& name, StagingTicker& ticker) {
    ErrorLog& log = state.Errors;
    const SkipList skip(pair.SkipRows);
    auto source = input.OpenRecordset(pair.InTable);
    if (!source) {
        log.Pending.Clear();  // the transfer of this pair reports the missing table itself
        return false;
    }
    TableDefDraft draft = work.CreateTableDef(name);
    for (int32_t c = 0; c < source->FieldCount(); ++c) {
        FieldInfo f = source->Field(c);
        f.Required = false;
        f.AutoIncrement = false;
        draft.Fields.push_back(std::move(f));
    }
    if (!work.Append(draft)) {
        LogPending(log);
        return false;
    }
    auto target = work.OpenRecordset(name);
    if (!target) {
        LogPending(log);
        return false;
    }
    int64_t x = 0;
    for (; !source->Eof() && ticker.Row(); source->MoveNext()) {
        ++x;
        if (skip.Contains(x)) continue;
        log.SetRow(x);
        state.StagedRows.Add(name, x);
        target->AddNew();
        for (int32_t c = 0; c < source->FieldCount(); ++c) {
            const Value& v = source->GetValue(c);
            if (!v.IsNull()) target->SetValue(c, v);
        }
        target->Update();
        LogPending(log);
    }
    if (log.Pending.IsSet() && !ticker.Stopped()) MarkIncomplete(state, name, pair, x);
    LogPending(log);
    target->Close();
    source->Close();
    return true;
}

bool CopyDatabaseTables(SessionState& state, Engine& engine,
                        const std::vector<std::string>& stagedNames, StagingTicker& ticker) {
    ImportDefinition& def = state.Definition;
    ErrorLog& log = state.Errors;
    auto input = engine.OpenDatabase(def.InputPath, 0, true, ";DATABASE=" + def.InputPath);
    if (!input) {
        LogPending(log);
        return false;
    }
    auto work = engine.CreateDatabase(state.WorkDbPath, kWorkLocale);
    if (!work) {
        LogPending(log);
        return false;
    }
    std::set<std::string> copied;
    for (int32_t t = 1; t <= def.UsableTableCount() && !ticker.Stopped(); ++t) {
        if (!PairHasInput(def, t)) continue;
        const TableSetting& pair = def.Table(t);
        // Pairs reading one input table alike share its copy; each other pair gets its own.
        const std::string& name = stagedNames[static_cast<std::size_t>(t)];
        if (!copied.insert(name).second) continue;
        CopyTable(state, *input, *work, pair, name, ticker);
    }
    input->Close();
    work->Close();
    return !ticker.Stopped();
}

// The kinds of input the program reads, for the message about a file of another kind.
std::string ReadableKinds() {
    return "Access データベース (.mdb .mde .accdb .accdr)、SQLite データベース (.sqlite .sqlite3 "
           ".db)、Excel ブック (.xls .xlsx .xlsm)、テキスト ファイル (.csv .txt)";
}

}  // namespace

std::vector<std::string> StagedTableNames(const ImportDefinition& def) {
    const int32_t count = def.UsableTableCount();
    std::vector<std::string> names(static_cast<std::size_t>(count) + 1);
    const bool text = FileKindOf(def.InputPath) == FileKind::DelimitedText;
    // Per input table: how each earlier pair reads it, and the staged table it got.
    struct Reading {
        std::vector<RowsToSkip::Range> Skip;
        int32_t HeaderRow = 0;
        std::string Name;
    };
    std::map<std::string, std::vector<Reading>> readings;
    std::set<std::string> inputTables;
    for (int32_t t = 1; t <= count; ++t)
        inputTables.insert(LowerCase(def.Table(t).InTable));
    std::set<std::string> used;
    for (int32_t t = 1; t <= count; ++t) {
        const TableSetting& pair = def.Table(t);
        std::string& name = names[static_cast<std::size_t>(t)];
        if (pair.InTable.empty()) continue;
        // A text file is read once: every pair naming it shares the one table.
        if (text) {
            name = pair.InTable.substr(0, pair.InTable.find('.'));
            continue;
        }
        Reading reading{ParseSkipRows(pair.SkipRows).Written(), pair.HeaderRow, {}};
        auto& earlier = readings[LowerCase(pair.InTable)];
        const auto alike = std::find_if(earlier.begin(), earlier.end(), [&](const Reading& r) {
            return r.Skip == reading.Skip && r.HeaderRow == reading.HeaderRow;
        });
        if (alike != earlier.end()) {
            name = alike->Name;
            continue;
        }
        // A later pair that reads the table its own way gets a copy of its own, under a name
        // no input table of the definition has.
        name = pair.InTable;
        if (!earlier.empty()) {
            name += " #" + std::to_string(t);
            while (inputTables.count(LowerCase(name)) || used.count(LowerCase(name)))
                name += "#";
        }
        used.insert(LowerCase(name));
        reading.Name = name;
        earlier.push_back(std::move(reading));
    }
    return names;
}

bool IsSkippedRow(const RowsToSkip& skip, int64_t x) {
    return skip.LastWritten() >= x && skip.Contains(x);
}

bool StageInput(SessionState& state, Engine& engine, const StagingProgress& progress) {
    state.StagedRows.Clear();
    state.IncompleteStaging.clear();
    StagingTicker ticker(progress);
    if (!ticker.Report()) return false;
    // Lines logged while staging remember their input row; nothing else does. Whatever staging
    // left pending has been logged or belongs to a pair's transfer, never to the next step.
    struct Reset {
        ErrorLog& log;
        ~Reset() {
            log.SetRow(0);
            log.Pending.Clear();
        }
    } reset{state.Errors};
    // The last run's work database goes first, whatever this input turns out to be.
    ::unlink(state.WorkDbPath.c_str());
    state.Errors.Pending.Clear();
    const std::string& path = state.Definition.InputPath;
    const std::vector<std::string> names = StagedTableNames(state.Definition);
    switch (FileKindOf(path)) {
        case FileKind::ExcelWorkbook:
            return StageWorkbook(state, engine, names, ticker);
        case FileKind::DelimitedText:
            return StageText(state, engine, names, ticker);
        case FileKind::AccessDatabase:
        case FileKind::SqliteDatabase:
            return CopyDatabaseTables(state, engine, names, ticker);
        case FileKind::None:
            break;
    }
    state.Errors.AddErrorLine("入力ファイル '" + path +
                              "' は読み込める種類のファイルではありません。読み込めるのは " +
                              ReadableKinds() + " です。" + kStopped);
    return false;
}

}  // namespace vantrel
