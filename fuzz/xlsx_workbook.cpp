// .xlsx packages come from anywhere: the zip container and every XML part must give a clean
// failure or rows whose width is the sheet's extent. Odd first bytes take the input as a whole
// package; even ones as XML parts that are stored (uncompressed) into a package here, so that
// mutations reach the XML instead of breaking the compression.
#include <zip.h>

#include "FuzzInput.h"
#include "xlsx/Workbook.h"

using namespace vantrel;

namespace {

constexpr const char* kParts[] = {
    "[Content_Types].xml",
    "_rels/.rels",
    "xl/workbook.xml",
    "xl/_rels/workbook.xml.rels",
    "xl/styles.xml",
    "xl/sharedStrings.xml",
    "xl/worksheets/sheet1.xml",
    "xl/worksheets/sheet2.xml",
};
constexpr std::size_t kMaxRows = 20'000;

void AddStored(zip_t* archive, const std::string& name, const std::string& content) {
    zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
    if (!source) return;
    zip_int64_t index = zip_name_locate(archive, name.c_str(), 0);
    if (index >= 0) {
        if (zip_file_replace(archive, static_cast<zip_uint64_t>(index), source, 0) != 0) index = -1;
    } else {
        index = zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
    }
    if (index < 0) {
        zip_source_free(source);
        return;
    }
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
}

// Parts as (index, 16-bit length, bytes) records, stored without compression.
std::string StoredPackage(fuzz::InputCursor& in) {
    std::vector<std::pair<std::string, std::string>> parts;
    while (!in.Empty()) {
        const std::string name = kParts[in.Byte() % std::size(kParts)];
        parts.emplace_back(name, std::string(in.Take(in.Uint(2))));
    }
    const std::string path = fuzz::ScratchFolder() + "/package.xlsx";
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    FUZZ_CHECK(archive != nullptr, "a scratch package can be made");
    for (const auto& [name, content] : parts)
        AddStored(archive, name, content);
    FUZZ_CHECK(zip_close(archive) == 0, "a scratch package is written");
    return fuzz::ReadFile(path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    fuzz::InputCursor in(fuzz::AsView(data, size));
    const bool whole = (in.Byte() & 1) != 0;
    std::string package = whole ? std::string(in.Rest()) : StoredPackage(in);

    // Small bounds keep every input quick; the bounds themselves are what is tested.
    xlsx::Limits limits;
    limits.PartBytes = 1 << 20;
    limits.SharedStringBytes = 4 << 20;
    limits.SheetBytes = 16 << 20;
    limits.CellTextBytes = 64 << 10;
    xlsx::Workbook book(limits);
    if (!book.OpenBytes(std::move(package))) {
        FUZZ_CHECK(book.Error().Kind != xlsx::Fault::None, "a refused package says why");
        return 0;
    }
    for (std::size_t s = 0; s < book.Sheets().size() && s < 4; ++s) {
        xlsx::SheetExtent extent;
        std::size_t rows = 0;
        const bool read = book.ReadSheet(
            s, [&](const xlsx::SheetExtent& e) { extent = e; },
            [&](const std::vector<xlsx::Cell>& row) {
                FUZZ_CHECK(row.size() == extent.Columns, "every row is as wide as the sheet");
                return ++rows < kMaxRows;
            });
        FUZZ_CHECK(read || book.Error().Kind != xlsx::Fault::None, "a failed sheet says why");
        FUZZ_CHECK(rows <= extent.Rows, "no more rows than the sheet's extent");
    }
    return 0;
}
