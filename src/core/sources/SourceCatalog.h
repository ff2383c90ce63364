#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "editor/MappingPanel.h"
#include "model/NameList.h"
#include "model/SessionState.h"
#include "sources/engine/Engine.h"

namespace vantrel {

// What kind of file a path names, decided by its lower-cased extension.
enum class FileKind { None, AccessDatabase, SqliteDatabase, ExcelWorkbook, DelimitedText };

// The text after the last "." anywhere in the path (folder names included); "" without one.
std::string ExtensionOf(std::string_view path);
FileKind FileKindOf(std::string_view path);
// Access and SQLite files: opened as databases, listing their tables.
bool IsDatabaseKind(FileKind kind);

// The path up to and including its last "\" or "/" ("" without one), and the part after it
// (the whole path without one). Both separators count, so definitions written on Windows split.
std::string FolderOf(std::string_view path);
std::string FileNameOf(std::string_view path);
void SplitPath(SessionState& state, int side, const std::string& path);

// Generated field names where there is no header row: "フィールド1", "フィールド2", ...
std::string GeneratedFieldName(int32_t position);

const std::string& SidePath(const SessionState& state, int side);

// The catalog's operations on one side of the main window: its path, its table list and its
// grid column. Databases and files are opened and closed within each call.
class SourceCatalog {
  public:
    SourceCatalog(SessionState& state, Engine& engine, MappingPanel& mainPanel)
        : state_(state), engine_(engine), panel_(mainPanel) {}

    // The file-choice flow once a path has been chosen in the dialog: an empty path changes
    // nothing. Returns true when the error window should be shown.
    bool ChooseFile(int side, const std::string& path);

    // Forgets everything chosen for that side's file.
    void ClearSide(int side);

    // Fills the side's list with the file's listable tables not already in the grid; with
    // `checkGrid`, empties or removes grid rows naming tables the file lacks.
    bool ListTables(int side, bool checkGrid);

    // The fields of pair t's table on that side.
    void ListFields(int32_t t, int side, NameList& names);

  private:
    bool ListDatabaseTables(int side, FileKind kind, std::vector<std::string>& names);
    void CheckGridColumn(int side, const std::vector<std::string>& names);
    void ListTextFields(const std::string& path, const TableSetting& pair, NameList& names);
    void ListWorkbookFields(const std::string& path, const TableSetting& pair, NameList& names);
    void ListDatabaseFields(const std::string& path, const std::string& table, NameList& names);

    SessionState& state_;
    Engine& engine_;
    MappingPanel& panel_;
};

// Sets the header row of a pair: 0 with `noHeader`; 1 when nothing is skipped; otherwise the
// first row from 1 to 500 not skipped for workbooks and text, 0 for databases.
void DefaultHeaderRow(TableSetting& setting, const std::string& inputPath, bool noHeader);

// The connect string the catalog opens a file of this kind with.
std::string ConnectStringFor(FileKind kind, const std::string& path);

}  // namespace vantrel
