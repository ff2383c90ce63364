#include "sources/SourceCatalog.h"

#include <sys/stat.h>

#include <algorithm>

#include "common/TextCase.h"
#include "editor/TablePairs.h"
#include "sources/DelimitedText.h"
#include "sources/FieldPairMaintenance.h"
#include "sources/TextLineReader.h"

namespace vantrel {

namespace {

constexpr int32_t kHeaderlessSampleLines = 10;
constexpr int32_t kHeaderRowSearchLimit = 500;

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::size_t LastSeparator(std::string_view path) {
    return path.find_last_of("\\/");
}

}  // namespace

std::string ExtensionOf(std::string_view path) {
    const auto dot = path.rfind('.');
    return dot == std::string_view::npos ? std::string{} : std::string(path.substr(dot + 1));
}

FileKind FileKindOf(std::string_view path) {
    const std::string ext = LowerCase(ExtensionOf(path));
    if (ext == "mdb" || ext == "mde" || ext == "accdb" || ext == "accdr")
        return FileKind::AccessDatabase;
    if (ext == "sqlite" || ext == "sqlite3" || ext == "db") return FileKind::SqliteDatabase;
    if (ext == "xls" || ext == "xlsx" || ext == "xlsm") return FileKind::ExcelWorkbook;
    if (ext == "csv" || ext == "txt") return FileKind::DelimitedText;
    return FileKind::None;
}

bool IsDatabaseKind(FileKind kind) {
    return kind == FileKind::AccessDatabase || kind == FileKind::SqliteDatabase;
}

std::string FolderOf(std::string_view path) {
    const auto sep = LastSeparator(path);
    return sep == std::string_view::npos ? std::string{} : std::string(path.substr(0, sep + 1));
}

std::string FileNameOf(std::string_view path) {
    const auto sep = LastSeparator(path);
    return std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
}

void SplitPath(SessionState& state, int side, const std::string& path) {
    state.SideFolder[static_cast<std::size_t>(side)] = FolderOf(path);
    state.SideFileName[static_cast<std::size_t>(side)] = FileNameOf(path);
}

std::string GeneratedFieldName(int32_t position) {
    return "フィールド" + std::to_string(position);
}

const std::string& SidePath(const SessionState& state, int side) {
    return side == kOutputSide ? state.Definition.OutputPath : state.Definition.InputPath;
}

std::string ConnectStringFor(FileKind kind, const std::string& path) {
    if (kind == FileKind::ExcelWorkbook) return "Excel 8.0;HDR=NO;IMEX=1;DATABASE=" + path;
    return ";DATABASE=" + path;
}

bool SourceCatalog::ChooseFile(int side, const std::string& path) {
    state_.Errors.Clear();
    if (path.empty()) return false;
    if (path != SidePath(state_, side)) {
        state_.Definition.Modified = true;
        ClearSide(side);
    }
    (side == kOutputSide ? state_.Definition.OutputPath : state_.Definition.InputPath) = path;
    SplitPath(state_, side, path);
    ListTables(side, true);
    return !state_.Errors.Empty();
}

void SourceCatalog::ClearSide(int side) {
    ImportDefinition& def = state_.Definition;
    (side == kOutputSide ? def.OutputPath : def.InputPath).clear();
    panel_.Lists[static_cast<std::size_t>(side)].Clear();
    const int32_t slots = std::min(def.TableMax, static_cast<int32_t>(def.Tables.size()) - 1);
    for (int32_t t = 1; t <= slots; ++t) {
        (side == kOutputSide ? def.Table(t).OutTable : def.Table(t).InTable).clear();
        if (t > def.FieldPairs.TableBound()) continue;
        for (int32_t j = 1; j <= std::min(def.FieldMax, def.FieldPairs.FieldBound()); ++j) {
            FieldPair& f = def.FieldPairs(t, j);
            (side == kOutputSide ? f.OutField : f.InField).clear();
        }
    }
    for (int32_t r = 0; r < panel_.Grid.Rows(); ++r)
        panel_.Grid.Cell(r, side).Text.clear();
}

bool SourceCatalog::ListTables(int side, bool checkGrid) {
    const std::string& path = SidePath(state_, side);
    NamePanelList& list = panel_.Lists[static_cast<std::size_t>(side)];
    if (!FileExists(path)) {
        state_.Errors.AddErrorLine(path + "は存在しません。「" +
                                   (side == kOutputSide ? "出力" : "入力") +
                                   "ﾌｧｲﾙ選択」より選択して下さい");
        return false;
    }
    list.Clear();
    list.BackColor = kWindowBackground;
    std::vector<std::string> names;
    const FileKind kind = FileKindOf(path);
    if (kind == FileKind::ExcelWorkbook || IsDatabaseKind(kind)) {
        if (!ListDatabaseTables(side, kind, names)) return false;
    } else if (kind == FileKind::DelimitedText) {
        const std::string name = TextTableName(state_.SideFileName[kInputSide]);
        MappingGrid& grid = panel_.Grid;
        if (grid.Rows() > 0) {
            if (grid.Text(0, kInputSide).empty()) {
                grid.Cell(0, kInputSide).Text = name;
                if (state_.Definition.TableMax > 0) state_.Definition.Table(1).InTable = name;
            }
        } else {
            list.Add(name);
        }
        names.push_back(name);
    }
    if (side == kOutputSide) {
        ResizeModel(state_.Definition, static_cast<int32_t>(names.size()),
                    state_.Definition.FieldMax, state_.Errors);
    }
    if (checkGrid && panel_.Grid.Rows() > 0 && !names.empty()) CheckGridColumn(side, names);
    list.Enabled = true;
    return true;
}

bool SourceCatalog::ListDatabaseTables(int side, FileKind kind, std::vector<std::string>& names) {
    const std::string& path = SidePath(state_, side);
    ErrorState& pending = state_.Errors.Pending;
    auto db = engine_.OpenDatabase(path, 0, true, ConnectStringFor(kind, path));
    if (!db) {
        state_.Errors.AddErrorLine(pending.Description);
        return false;
    }
    const auto tables = db->TableDefs();
    if (pending.IsSet()) {
        state_.Errors.AddErrorLine(pending.Description);
        db->Close();
        return false;
    }
    NamePanelList& list = panel_.Lists[static_cast<std::size_t>(side)];
    for (const auto& table : tables) {
        if (table.Attributes != 0) continue;
        if (!panel_.Grid.ColumnHolds(side, table.Name)) list.Add(table.Name);
        names.push_back(table.Name);
    }
    db->Close();
    return true;
}

void SourceCatalog::CheckGridColumn(int side, const std::vector<std::string>& names) {
    MappingGrid& grid = panel_.Grid;
    int32_t row = 0;
    while (row < grid.Rows()) {
        const std::string& cell = grid.Text(row, side);
        if (!cell.empty() && std::find(names.begin(), names.end(), cell) != names.end()) {
            ++row;
            continue;
        }
        if (side == kInputSide) {
            grid.Cell(row, side).Text.clear();
            ReleasePair(state_.Definition, side, row);
            ++row;
        } else {
            if (grid.Rows() == 1) {
                grid.SetRowCount(0);
            } else {
                grid.RemoveRow(row);
            }
            ReleasePair(state_.Definition, side, row);
        }
    }
}

void SourceCatalog::ListFields(int32_t t, int side, NameList& names) {
    names.Clear();
    const std::string& path = SidePath(state_, side);
    if (path.empty()) return;
    if (t < 1 || t >= static_cast<int32_t>(state_.Definition.Tables.size())) return;
    const TableSetting& pair = state_.Definition.Table(t);
    switch (FileKindOf(path)) {
        case FileKind::DelimitedText:
            ListTextFields(path, pair, names);
            break;
        case FileKind::ExcelWorkbook:
            ListWorkbookFields(path, pair, names);
            break;
        case FileKind::AccessDatabase:
        case FileKind::SqliteDatabase:
            ListDatabaseFields(path, side == kOutputSide ? pair.OutTable : pair.InTable, names);
            break;
        case FileKind::None:
            break;
    }
}

void SourceCatalog::ListTextFields(const std::string& path, const TableSetting& pair,
                                   NameList& names) {
    TextLineReader reader;
    ErrorLog& log = state_.Errors;
    if (!reader.Open(path, log.Pending, &log)) {
        log.AddErrorLine(log.Pending.Description);
        return;
    }
    std::string line;
    if (pair.HeaderRow > 0) {
        while (reader.LineNumber() < pair.HeaderRow && reader.ReadLine(line)) {
        }
        if (reader.LineNumber() == pair.HeaderRow) {
            for (const auto& piece : SplitLine(line, pair.Delimiter)) {
                if (!piece.empty()) names.Append(piece);
            }
        }
    } else {
        std::size_t columns = 0;
        while (reader.LineNumber() < kHeaderlessSampleLines && reader.ReadLine(line)) {
            columns = std::max(columns, SplitLine(line, pair.Delimiter).size());
        }
        for (std::size_t c = 1; c <= columns; ++c)
            names.Append(GeneratedFieldName(static_cast<int32_t>(c)));
    }
    if (log.Pending.IsSet()) log.AddErrorLine(log.Pending.Description);
    reader.Close();
    if (names.Empty()) {
        log.AddErrorLine("見出しフィールがおかしかもしれません " + pair.InTable +
                         "のインポート方法を確認して下さい");
    }
}

void SourceCatalog::ListWorkbookFields(const std::string& path, const TableSetting& pair,
                                       NameList& names) {
    ErrorLog& log = state_.Errors;
    auto db = engine_.OpenDatabase(path, 0, true, ConnectStringFor(FileKind::ExcelWorkbook, path));
    if (!db) {
        log.AddErrorLine(log.Pending.Description);
        return;
    }
    auto rs = db->OpenRecordset(pair.InTable);
    if (!rs) {
        log.AddErrorLine(log.Pending.Description);
        db->Close();
        return;
    }
    const int32_t wanted = pair.HeaderRow > 0 ? pair.HeaderRow : 1;
    for (int32_t row = 1; row < wanted && !rs->Eof(); ++row)
        rs->MoveNext();
    if (!rs->Eof()) {
        for (int32_t f = 0; f < rs->FieldCount(); ++f) {
            if (pair.HeaderRow > 0) {
                const Value v = rs->GetValue(f);
                if (!v.IsNull()) names.Append(v.ToText());
            } else {
                names.Append(GeneratedFieldName(names.Count() + 1));
            }
        }
    }
    if (log.Pending.IsSet()) log.AddErrorLine(log.Pending.Description);
    rs->Close();
    db->Close();
}

void SourceCatalog::ListDatabaseFields(const std::string& path, const std::string& table,
                                       NameList& names) {
    ErrorLog& log = state_.Errors;
    auto db = engine_.OpenDatabase(path, 0, true, ConnectStringFor(FileKindOf(path), path));
    if (!db) {
        log.AddErrorLine(log.Pending.Description);
        return;
    }
    auto rs = db->OpenRecordset(table);
    if (!rs) {
        log.AddErrorLine(log.Pending.Description);
        db->Close();
        return;
    }
    for (int32_t f = 0; f < rs->FieldCount(); ++f)
        names.Append(rs->Field(f).Name);
    rs->Close();
    db->Close();
}

void DefaultHeaderRow(TableSetting& setting, const std::string& inputPath, bool noHeader) {
    if (noHeader) {
        setting.HeaderRow = 0;
        return;
    }
    const RowsToSkip skipped = ParseSkipRows(setting.SkipRows);
    if (skipped.Empty()) {
        setting.HeaderRow = 1;
        return;
    }
    const std::string tail =
        LowerCase(inputPath.size() >= 3 ? inputPath.substr(inputPath.size() - 3) : inputPath);
    const bool workbook = FileKindOf(inputPath) == FileKind::ExcelWorkbook;
    if (!workbook && tail != "xls" && tail != "txt" && tail != "csv") {
        setting.HeaderRow = 0;
        return;
    }
    const int64_t free = skipped.FirstNotContained(1);
    setting.HeaderRow = free <= kHeaderRowSearchLimit ? static_cast<int32_t>(free) : 1;
}

}  // namespace vantrel
