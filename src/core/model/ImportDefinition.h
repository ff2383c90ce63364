#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// How the output table of a pair is written.
namespace WriteMode {
inline constexpr int32_t New = 0;     // delete the old records, then add
inline constexpr int32_t Append = 1;  // add after the old records
inline constexpr int32_t Update = 2;  // overwrite the old records in table order
}  // namespace WriteMode

// Side 0 is the output, side 1 the input: it picks the path, the table list and the grid column.
inline constexpr int kOutputSide = 0;
inline constexpr int kInputSide = 1;

// One table pair with its import method.
struct TableSetting {
    int32_t FieldSlot = 0;   // the pair's own index, stored when its row is created
    int32_t FieldCount = 0;  // positions whose OutField is not empty; recounted on save
    std::string OutTable;
    std::string InTable;       // empty = no input table assigned
    std::string SkipRows;      // rows not to import, e.g. "2-4,6"
    int32_t HeaderAsData = 0;  // 1 = the header row is imported as a record too
    int32_t WriteMode = WriteMode::New;
    int32_t HeaderRow = 0;  // 1-based row of the field names; 0 = no header row
    std::string Delimiter;

    bool operator==(const TableSetting&) const = default;
};

// One field mapping: the output field and the input field that feeds it.
struct FieldPair {
    std::string InField;   // empty = the output field is not fed
    std::string OutField;  // empty = the position holds no field pair

    bool operator==(const FieldPair&) const = default;
};

// The field pairs of every table slot: indices (0..TableMax, 0..FieldMax); slot 0 and
// position 0 exist and stay empty.
class FieldPairMatrix {
  public:
    FieldPairMatrix() { Allocate(0, 0); }

    // Fresh, empty matrix with slots 0..tableMax and positions 0..fieldMax.
    void Allocate(int32_t tableMax, int32_t fieldMax);
    // New bounds keeping the pairs of slots 1..copySlots and positions 1..copyPositions that fit.
    void Reshape(int32_t tableMax, int32_t fieldMax, int32_t copySlots, int32_t copyPositions);

    int32_t TableBound() const { return tableBound_; }
    int32_t FieldBound() const { return fieldBound_; }
    bool Contains(int32_t t, int32_t j) const {
        return t >= 0 && t <= tableBound_ && j >= 0 && j <= fieldBound_;
    }

    FieldPair& operator()(int32_t t, int32_t j) { return cells_[Index(t, j)]; }
    const FieldPair& operator()(int32_t t, int32_t j) const { return cells_[Index(t, j)]; }

    // Moves or swaps whole slots, as pair rows move in the main grid.
    void SwapSlots(int32_t a, int32_t b);

    bool operator==(const FieldPairMatrix&) const = default;

  private:
    std::size_t Index(int32_t t, int32_t j) const {
        return static_cast<std::size_t>(t) * static_cast<std::size_t>(fieldBound_ + 1) +
               static_cast<std::size_t>(j);
    }

    int32_t tableBound_ = 0;
    int32_t fieldBound_ = 0;
    std::vector<FieldPair> cells_;
};

// The import definition: which output database and input file, the table pairs with their
// import methods, and the field pairs. Arrays keep the 1-based layout with an unused element 0
// because the definition file and the undo snapshots rely on those bounds.
struct ImportDefinition {
    std::string OutputPath;            // empty = not chosen
    std::string InputPath;             // empty = not chosen
    int32_t TableMax = 0;              // upper bound of Tables and of the first index of FieldPairs
    int32_t TableCount = 0;            // pairs in use, 1..TableCount
    int32_t FieldMax = 0;              // upper bound of the second index of FieldPairs
    TableSetting DefaultTableSetting;  // template for a pair row when it is created or cleared
    std::vector<TableSetting> Tables = std::vector<TableSetting>(1);
    FieldPairMatrix FieldPairs;
    bool BackupFlag = false;  // copy the output database to a backup before each run
    int32_t FileVersion = 0;  // version number of the definition file last read or written
    bool Modified = false;    // changed since last opened, created or saved

    ImportDefinition();

    // Fresh arrays for tableMax pair rows and fieldMax positions, every element empty.
    void Allocate(int32_t tableMax, int32_t fieldMax);
    // Empties the definition: no slots, no positions, no pairs.
    void ClearArrays();
    // Number of pairs that really exist: TableCount kept within the allocated slots.
    int32_t UsableTableCount() const;

    TableSetting& Table(int32_t t) { return Tables[static_cast<std::size_t>(t)]; }
    const TableSetting& Table(int32_t t) const { return Tables[static_cast<std::size_t>(t)]; }
};

// The template every new pair row starts from: header row 1, delimiter ",", write mode new.
TableSetting MakeDefaultTableSetting();

// The single table a csv or txt input presents: its file name up to the first "." (the file
// sales.2024.csv presents sales). Definitions may hold the whole file name instead; both name
// the same table, and this is the form shown and saved.
std::string TextTableName(std::string_view fileName);

}  // namespace vantrel
