#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "xlsx/CellText.h"
#include "xlsx/SharedStrings.h"
#include "xlsx/XmlStream.h"

// The small parts of a workbook package, each read by its own XML handler.
namespace vantrel::xlsx {

// The part a relationship target names, resolved against the part that holds the relationship
// ("xl/workbook.xml" + "worksheets/sheet1.xml" = "xl/worksheets/sheet1.xml").
std::string ResolveTarget(std::string_view sourcePart, std::string_view target);

// The relationships part of `part` ("xl/workbook.xml" -> "xl/_rels/workbook.xml.rels").
std::string RelationshipsPartOf(std::string_view part);

// Text with Excel's _xHHHH_ escapes (characters XML cannot carry) turned back into characters.
void AppendUnescaped(std::string& out, std::string_view text);

struct Relationship {
    std::string Type;    // the last segment of the type URI: "worksheet", "styles", ...
    std::string Target;  // as written
};

// A .rels part: relationships by id (external targets left out).
class RelationshipsHandler final : public XmlEvents {
  public:
    void StartElement(std::string_view name, const char** attributes) override;
    void EndElement(std::string_view) override {}
    const std::map<std::string, Relationship>& ById() const { return byId_; }
    // The target of the first relationship of this type, or "".
    std::string TargetOfType(std::string_view type) const;

  private:
    std::map<std::string, Relationship> byId_;
    std::vector<std::string> order_;
};

// workbook.xml: the date system and the sheets in workbook order.
class WorkbookHandler final : public XmlEvents {
  public:
    struct Sheet {
        std::string Name;
        std::string RelationshipId;
    };
    void StartElement(std::string_view name, const char** attributes) override;
    void EndElement(std::string_view name) override;
    bool Date1904() const { return date1904_; }
    const std::vector<Sheet>& Sheets() const { return sheets_; }

  private:
    bool inSheets_ = false;
    bool date1904_ = false;
    std::vector<Sheet> sheets_;
};

// styles.xml: the number-format kind of every cell style.
class StylesHandler final : public XmlEvents {
  public:
    void StartElement(std::string_view name, const char** attributes) override;
    void EndElement(std::string_view name) override;
    std::vector<NumberKind> StyleKinds() const;

  private:
    std::map<uint32_t, NumberKind> customFormats_;
    std::vector<uint32_t> cellFormatIds_;
    bool inCellXfs_ = false;
};

// sharedStrings.xml: every string item, its rich-text runs joined and its phonetic (furigana)
// runs left out.
class SharedStringsHandler final : public XmlEvents {
  public:
    SharedStringsHandler(SharedStrings& strings, std::size_t maxText)
        : strings_(strings), maxText_(maxText) {}
    void StartElement(std::string_view name, const char** attributes) override;
    void EndElement(std::string_view name) override;
    void Characters(std::string_view text) override;

  private:
    SharedStrings& strings_;
    std::size_t maxText_;
    bool inItem_ = false;
    int phoneticDepth_ = 0;
    bool inText_ = false;
    std::string raw_;   // the current <t> as written
    std::string item_;  // the current item, unescaped
};

// Parses an unsigned decimal attribute; false for anything else.
bool ParseUnsigned(const char* text, uint32_t& value);

}  // namespace vantrel::xlsx
