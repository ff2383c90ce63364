#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "xlsx/CellText.h"
#include "xlsx/SharedStrings.h"
#include "xlsx/SheetReader.h"
#include "xlsx/ZipArchive.h"

// Excel 2007 and later workbooks (.xlsx, .xlsm): a zip package of XML parts, read with a bounded
// inflate and a streaming parser, so that a sheet of any size passes through in constant memory
// (only the shared strings are held). Usable in-process: tests and fuzzers call it directly.
namespace vantrel::xlsx {

enum class Fault {
    None,
    NotZip,       // the bytes are no zip archive
    Encrypted,    // an entry needs a password
    NoWorkbook,   // a zip without a workbook part
    MissingPart,  // a part the workbook names is not in the archive
    TooLarge,     // an entry inflates past its bound (a zip bomb)
    Damaged,      // broken compressed data or sizes that do not match
    Malformed,    // XML that is not well formed, or cells no workbook can have
    Stopped,      // the row consumer asked to stop
};

struct Failure {
    Fault Kind = Fault::None;
    std::string Part;    // the archive entry concerned, when there is one
    std::string Detail;  // the parser's own words, with the line
};

// Bounds on what one workbook may inflate to. A sheet streams, so its bound only limits the
// time a hostile file can take; the shared strings are held, so theirs limits memory too.
struct Limits {
    uint64_t PartBytes = uint64_t{64} << 20;           // workbook, relationships, styles
    uint64_t SharedStringBytes = uint64_t{1} << 30;    // the shared strings part
    uint64_t SheetBytes = uint64_t{8} << 30;           // one worksheet part
    std::size_t CellTextBytes = std::size_t{4} << 20;  // one value (Excel allows 32,767 characters)
};

struct SheetInfo {
    std::string Name;
    std::string Part;  // empty when the workbook's relationships do not name one
};

class Workbook {
  public:
    explicit Workbook(Limits limits = {});
    ~Workbook();

    // Reads the package's workbook, relationships and styles; false with Error() set.
    bool OpenFile(const std::string& path);
    bool OpenBytes(std::string bytes);

    // Worksheets in workbook order, hidden ones included (chart sheets have no cells).
    const std::vector<SheetInfo>& Sheets() const { return sheets_; }
    bool Date1904() const { return date1904_; }

    // Streams sheet `index`: `extent` first, then `row` once for every row from the first to the
    // last holding a cell, each with Columns cells (rows and cells the sheet leaves out are
    // Null). `row` returns false to stop. False with Error() set when the sheet cannot be read.
    using ExtentSink = std::function<void(const SheetExtent&)>;
    using RowSink = std::function<bool(const std::vector<Cell>&)>;
    bool ReadSheet(std::size_t index, const ExtentSink& extent, const RowSink& row);

    const Failure& Error() const { return failure_; }

  private:
    bool Open();
    bool LoadSharedStrings();
    // Streams one part through `events`; false with the failure set.
    bool ParsePart(const std::string& part, uint64_t limit, class XmlEvents& events);
    bool Fail(Fault kind, std::string part, std::string detail = {});

    Limits limits_;
    ZipArchive zip_;
    std::vector<SheetInfo> sheets_;
    bool date1904_ = false;
    std::string relationshipsPart_;       // the workbook's, naming its sheets' parts
    std::vector<NumberKind> styleKinds_;  // by cell style index
    std::string sharedStringsPart_;
    bool sharedStringsLoaded_ = false;
    SharedStrings strings_;
    Failure failure_;
};

}  // namespace vantrel::xlsx
