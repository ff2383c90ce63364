#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "xlsx/CellText.h"
#include "xlsx/SharedStrings.h"
#include "xlsx/XmlStream.h"

namespace vantrel::xlsx {

// How far a sheet reaches: the last row and the last column holding a cell (1-based counts).
struct SheetExtent {
    uint32_t Rows = 0;
    uint32_t Columns = 0;
};

struct Cell {
    bool Null = true;
    std::string Text;
};

// What cell values need from the rest of the workbook.
struct SheetContext {
    const std::vector<NumberKind>& StyleKinds;
    const SharedStrings& Strings;
    bool Date1904 = false;
    std::size_t MaxText = 0;
};

// One pass over a worksheet part. Without a shape it measures the sheet; with one it hands every
// row from the first to the shape's last to `rows`, placing cells by their references and
// filling the rows and cells the sheet leaves out with Null.
class SheetReader final : public XmlEvents {
  public:
    using RowSink = std::function<bool(const std::vector<Cell>&)>;

    SheetReader(const SheetContext& context, const SheetExtent* shape, const RowSink* rows);

    void StartElement(std::string_view name, const char** attributes) override;
    void EndElement(std::string_view name) override;
    void Characters(std::string_view text) override;

    // After the document: the rows the sheet did not write at its end, and what was measured.
    void Finish();
    uint32_t MeasuredRows() const { return measuredRows_; }
    uint32_t MeasuredColumns() const { return measuredColumns_; }
    bool ConsumerStopped() const { return consumerStopped_; }

  private:
    enum class CellType { Number, SharedString, InlineString, FormulaString, Boolean, Error, Date };

    void StartRow(const char** attributes);
    void StartCell(const char** attributes);
    void EndCell();
    bool Emit(const std::vector<Cell>& row);
    bool EmitEmptyRowsBefore(uint32_t row);
    // The text of the finished cell; false for a value that stays Null.
    bool CellValueText(std::string& out);

    const SheetContext& context_;
    const SheetExtent* shape_;
    const RowSink* rows_;

    bool inSheetData_ = false;
    bool inRow_ = false;
    bool inCell_ = false;
    bool inInline_ = false;
    int phoneticDepth_ = 0;
    bool collecting_ = false;

    uint32_t row_ = 0;      // 1-based number of the current row
    uint32_t lastRow_ = 0;  // of the row before it
    uint32_t column_ = 0;   // 0-based column of the current cell
    uint32_t nextColumn_ = 0;
    bool rowHasCells_ = false;

    CellType type_ = CellType::Number;
    uint32_t style_ = 0;
    bool hasValue_ = false;
    std::string raw_;
    std::string value_;

    uint32_t measuredRows_ = 0;
    uint32_t measuredColumns_ = 0;
    uint32_t emitted_ = 0;
    bool consumerStopped_ = false;
    std::vector<Cell> cells_;
    std::vector<Cell> emptyRow_;
};

}  // namespace vantrel::xlsx
