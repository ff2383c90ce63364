#include "xlsx/Workbook.h"

#include "xlsx/PackageParts.h"
#include "xlsx/XmlStream.h"

namespace vantrel::xlsx {

namespace {

constexpr const char* kRootRelationships = "_rels/.rels";
constexpr const char* kUsualWorkbookPart = "xl/workbook.xml";

Fault FaultOf(ZipStatus status) {
    switch (status) {
        case ZipStatus::Missing:
            return Fault::MissingPart;
        case ZipStatus::Encrypted:
            return Fault::Encrypted;
        case ZipStatus::TooLarge:
            return Fault::TooLarge;
        default:
            return Fault::Damaged;
    }
}

}  // namespace

Workbook::Workbook(Limits limits) : limits_(limits) {}
Workbook::~Workbook() = default;

bool Workbook::Fail(Fault kind, std::string part, std::string detail) {
    failure_ = Failure{kind, std::move(part), std::move(detail)};
    return false;
}

bool Workbook::OpenFile(const std::string& path) {
    if (!zip_.OpenFile(path)) return Fail(Fault::NotZip, {});
    return Open();
}

bool Workbook::OpenBytes(std::string bytes) {
    if (!zip_.OpenBytes(std::move(bytes))) return Fail(Fault::NotZip, {});
    return Open();
}

bool Workbook::ParsePart(const std::string& part, uint64_t limit, XmlEvents& events) {
    XmlStream stream(events);
    const ZipStatus status =
        zip_.Read(part, limit, [&](std::string_view piece) { return stream.Feed(piece, false); });
    if (status == ZipStatus::Ok) stream.Feed({}, true);
    if (stream.Failed()) return Fail(Fault::Malformed, part, stream.Error());
    if (status != ZipStatus::Ok && status != ZipStatus::Stopped) return Fail(FaultOf(status), part);
    return true;
}

bool Workbook::Open() {
    std::string workbookPart;
    if (zip_.Has(kRootRelationships)) {
        RelationshipsHandler root;
        if (!ParsePart(kRootRelationships, limits_.PartBytes, root)) return false;
        const std::string target = root.TargetOfType("officeDocument");
        if (!target.empty()) workbookPart = ResolveTarget("", target);
    }
    if (workbookPart.empty() || !zip_.Has(workbookPart)) workbookPart = kUsualWorkbookPart;
    if (!zip_.Has(workbookPart)) return Fail(Fault::NoWorkbook, workbookPart);

    WorkbookHandler workbook;
    if (!ParsePart(workbookPart, limits_.PartBytes, workbook)) return false;
    date1904_ = workbook.Date1904();

    RelationshipsHandler relationships;
    relationshipsPart_ = RelationshipsPartOf(workbookPart);
    if (zip_.Has(relationshipsPart_) &&
        !ParsePart(relationshipsPart_, limits_.PartBytes, relationships))
        return false;
    for (const auto& sheet : workbook.Sheets()) {
        const auto found = relationships.ById().find(sheet.RelationshipId);
        if (found == relationships.ById().end()) {
            sheets_.push_back(SheetInfo{sheet.Name, {}});
        } else if (found->second.Type == "worksheet") {
            sheets_.push_back(
                SheetInfo{sheet.Name, ResolveTarget(workbookPart, found->second.Target)});
        }  // chart, dialog and macro sheets hold no cells
    }

    const std::string stylesTarget = relationships.TargetOfType("styles");
    if (!stylesTarget.empty()) {
        StylesHandler styles;
        if (!ParsePart(ResolveTarget(workbookPart, stylesTarget), limits_.PartBytes, styles))
            return false;
        styleKinds_ = styles.StyleKinds();
    }
    const std::string stringsTarget = relationships.TargetOfType("sharedStrings");
    if (!stringsTarget.empty()) sharedStringsPart_ = ResolveTarget(workbookPart, stringsTarget);
    return true;
}

bool Workbook::LoadSharedStrings() {
    if (sharedStringsLoaded_ || sharedStringsPart_.empty()) return true;
    SharedStringsHandler handler(strings_, limits_.CellTextBytes);
    if (!ParsePart(sharedStringsPart_, limits_.SharedStringBytes, handler)) return false;
    sharedStringsLoaded_ = true;
    return true;
}

bool Workbook::ReadSheet(std::size_t index, const ExtentSink& extent, const RowSink& row) {
    if (index >= sheets_.size()) return Fail(Fault::MissingPart, {});
    const SheetInfo& sheet = sheets_[index];
    // Without its relationship the sheet's part cannot be found.
    if (sheet.Part.empty()) return Fail(Fault::MissingPart, relationshipsPart_);
    if (!zip_.Has(sheet.Part)) return Fail(Fault::MissingPart, sheet.Part);
    if (!LoadSharedStrings()) return false;
    const SheetContext context{styleKinds_, strings_, date1904_, limits_.CellTextBytes};

    SheetReader measure(context, nullptr, nullptr);
    if (!ParsePart(sheet.Part, limits_.SheetBytes, measure)) return false;
    const SheetExtent shape{measure.MeasuredRows(), measure.MeasuredColumns()};
    extent(shape);
    if (shape.Rows == 0) return true;

    SheetReader rows(context, &shape, &row);
    if (!ParsePart(sheet.Part, limits_.SheetBytes, rows)) return false;
    if (rows.ConsumerStopped()) return Fail(Fault::Stopped, sheet.Part);
    rows.Finish();
    return !rows.ConsumerStopped() || Fail(Fault::Stopped, sheet.Part);
}

}  // namespace vantrel::xlsx
