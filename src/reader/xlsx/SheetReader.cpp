#include "xlsx/SheetReader.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "xlsx/PackageParts.h"

namespace vantrel::xlsx {

namespace {

// Excel's own bounds: no sheet has more rows or columns.
constexpr uint32_t kMaxRows = 1048576;
constexpr uint32_t kMaxColumns = 16384;

// The 0-based column of a cell reference such as "AB12"; false without column letters.
bool ColumnOfReference(const char* ref, uint32_t& column) {
    uint32_t value = 0;
    std::size_t letters = 0;
    for (const char* p = ref; *p; ++p) {
        char c = *p;
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c < 'A' || c > 'Z') break;
        if (++letters > 3) return false;
        value = value * 26 + static_cast<uint32_t>(c - 'A' + 1);
    }
    if (letters == 0) return false;
    column = value - 1;
    return true;
}

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

bool ParseDouble(std::string_view text, double& value) {
    text = Trimmed(text);
    if (text.empty()) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc{} && end == text.data() + text.size() && std::isfinite(value);
}

}  // namespace

SheetReader::SheetReader(const SheetContext& context, const SheetExtent* shape, const RowSink* rows)
    : context_(context), shape_(shape), rows_(rows) {
    if (shape_) {
        cells_.resize(shape_->Columns);
        emptyRow_.resize(shape_->Columns);
    }
}

void SheetReader::StartElement(std::string_view name, const char** attributes) {
    if (name == "sheetData") {
        inSheetData_ = true;
        return;
    }
    if (!inSheetData_) return;
    if (name == "row") {
        StartRow(attributes);
    } else if (name == "c" && inRow_) {
        StartCell(attributes);
    } else if (!inCell_) {
        return;
    } else if (name == "v") {
        collecting_ = shape_ != nullptr;
        raw_.clear();
    } else if (name == "is") {
        inInline_ = true;
        value_.clear();
    } else if (name == "rPh" || name == "phoneticPr") {
        ++phoneticDepth_;
    } else if (name == "t" && inInline_ && phoneticDepth_ == 0) {
        collecting_ = shape_ != nullptr;
        raw_.clear();
    }
}

void SheetReader::EndElement(std::string_view name) {
    if (name == "sheetData") {
        inSheetData_ = false;
    } else if (!inSheetData_) {
        return;
    } else if (name == "v" && inCell_) {
        collecting_ = false;
        hasValue_ = true;
        value_.clear();
        if (type_ == CellType::FormulaString || type_ == CellType::InlineString) {
            AppendUnescaped(value_, raw_);
        } else {
            value_.swap(raw_);
        }
    } else if (name == "t" && inInline_ && phoneticDepth_ == 0) {
        collecting_ = false;
        hasValue_ = true;
        AppendUnescaped(value_, raw_);
    } else if (name == "rPh" || name == "phoneticPr") {
        if (phoneticDepth_ > 0) --phoneticDepth_;
    } else if (name == "is") {
        inInline_ = false;
    } else if (name == "c" && inCell_) {
        EndCell();
    } else if (name == "row" && inRow_) {
        inRow_ = false;
        lastRow_ = row_;
        if (rowHasCells_) measuredRows_ = row_;
        if (shape_ && row_ <= shape_->Rows) {
            if (!Emit(cells_)) return;
            if (emitted_ == shape_->Rows) Stop();  // the rest holds no cells
        }
    }
}

void SheetReader::Characters(std::string_view text) {
    if (!collecting_) return;
    if (raw_.size() + text.size() > context_.MaxText) {
        Stop("a cell value is longer than any cell can hold");
        return;
    }
    raw_.append(text);
}

void SheetReader::StartRow(const char** attributes) {
    if (inRow_) {
        Stop("a row inside a row");
        return;
    }
    uint32_t number = 0;
    if (const char* r = Attribute(attributes, "r")) {
        if (!ParseUnsigned(r, number) || number == 0 || number > kMaxRows) {
            Stop(std::string("a row number no sheet can have: ") + r);
            return;
        }
        if (number <= lastRow_) {
            Stop("row " + std::to_string(number) + " comes after row " + std::to_string(lastRow_));
            return;
        }
    } else {
        number = lastRow_ + 1;
        if (number > kMaxRows) {
            Stop("more rows than a sheet can have");
            return;
        }
    }
    row_ = number;
    inRow_ = true;
    nextColumn_ = 0;
    rowHasCells_ = false;
    if (shape_ && row_ <= shape_->Rows) {
        if (!EmitEmptyRowsBefore(row_)) return;
        for (Cell& cell : cells_)
            cell.Null = true;
    }
}

void SheetReader::StartCell(const char** attributes) {
    if (inCell_) {
        Stop("a cell inside a cell");
        return;
    }
    uint32_t column = nextColumn_;
    if (const char* r = Attribute(attributes, "r")) {
        if (!ColumnOfReference(r, column)) {
            Stop(std::string("a cell reference no sheet can have: ") + r);
            return;
        }
    }
    if (column >= kMaxColumns) {
        Stop("a cell beyond the last column a sheet can have");
        return;
    }
    column_ = column;
    nextColumn_ = column + 1;
    rowHasCells_ = true;
    if (column + 1 > measuredColumns_) measuredColumns_ = column + 1;

    const char* t = Attribute(attributes, "t");
    const std::string_view type = t ? t : "n";
    type_ = type == "s"           ? CellType::SharedString
            : type == "inlineStr" ? CellType::InlineString
            : type == "str"       ? CellType::FormulaString
            : type == "b"         ? CellType::Boolean
            : type == "e"         ? CellType::Error
            : type == "d"         ? CellType::Date
                                  : CellType::Number;
    if (!ParseUnsigned(Attribute(attributes, "s"), style_)) style_ = 0;
    inCell_ = true;
    hasValue_ = false;
    inInline_ = false;
    phoneticDepth_ = 0;
    value_.clear();
}

void SheetReader::EndCell() {
    inCell_ = false;
    collecting_ = false;
    if (!shape_ || !hasValue_ || column_ >= cells_.size()) return;
    Cell& cell = cells_[column_];
    if (CellValueText(cell.Text)) cell.Null = false;
}

bool SheetReader::CellValueText(std::string& out) {
    const NumberKind kind =
        style_ < context_.StyleKinds.size() ? context_.StyleKinds[style_] : NumberKind::General;
    switch (type_) {
        case CellType::InlineString:
        case CellType::FormulaString:
            out = value_;
            return true;
        case CellType::SharedString: {
            uint32_t index = 0;
            const std::string text(Trimmed(value_));
            if (text.empty()) return false;
            if (!ParseUnsigned(text.c_str(), index) || index >= context_.Strings.Count()) {
                Stop("shared string " + text + " does not exist");
                return false;
            }
            out.assign(context_.Strings.Get(index));
            return true;
        }
        case CellType::Boolean: {
            const std::string_view text = Trimmed(value_);
            if (text.empty()) return false;
            out = text == "1" || text == "true"    ? "TRUE"
                  : text == "0" || text == "false" ? "FALSE"
                                                   : text;
            return true;
        }
        case CellType::Error:
            if (value_.empty()) return false;
            out = value_;
            return true;
        case CellType::Date: {
            double serial = 0;
            if (Trimmed(value_).empty()) return false;
            if (!IsoDateToSerial(Trimmed(value_), context_.Date1904, serial)) {
                out = value_;
                return true;
            }
            out = NumberText(serial, kind == NumberKind::General ? NumberKind::DateTime : kind,
                             context_.Date1904);
            return true;
        }
        case CellType::Number: {
            double number = 0;
            const std::string_view written = Trimmed(value_);
            if (written.empty()) return false;
            if (kind == NumberKind::General && IsGeneralForm(written)) {
                out.assign(written);
                return true;
            }
            if (!ParseDouble(value_, number)) {
                out = value_;  // not a number after all: kept as written
                return true;
            }
            out = NumberText(number, kind, context_.Date1904);
            return true;
        }
    }
    return false;
}

bool SheetReader::Emit(const std::vector<Cell>& row) {
    if (emitted_ >= shape_->Rows) return true;  // never more rows than measured
    ++emitted_;
    if ((*rows_)(row)) return true;
    consumerStopped_ = true;
    Stop();
    return false;
}

bool SheetReader::EmitEmptyRowsBefore(uint32_t row) {
    while (emitted_ + 1 < row && emitted_ < shape_->Rows) {
        if (!Emit(emptyRow_)) return false;
    }
    return true;
}

void SheetReader::Finish() {
    if (!shape_ || consumerStopped_) return;
    EmitEmptyRowsBefore(shape_->Rows + 1);
}

}  // namespace vantrel::xlsx
