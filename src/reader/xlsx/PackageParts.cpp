#include "xlsx/PackageParts.h"

#include <charconv>
#include <cstring>

#include "common/Encoding.h"

namespace vantrel::xlsx {

namespace {

bool IsTrue(const char* value) {
    return value && (std::strcmp(value, "1") == 0 || std::strcmp(value, "true") == 0);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The code unit of an _xHHHH_ escape at `at`, or -1.
int32_t EscapeAt(std::string_view text, std::size_t at) {
    if (at + 7 > text.size() || text[at] != '_' || text[at + 1] != 'x' || text[at + 6] != '_')
        return -1;
    int32_t unit = 0;
    for (std::size_t k = 2; k < 6; ++k) {
        const int digit = HexDigit(text[at + k]);
        if (digit < 0) return -1;
        unit = unit * 16 + digit;
    }
    return unit;
}

}  // namespace

std::string ResolveTarget(std::string_view sourcePart, std::string_view target) {
    std::string joined;
    if (!target.empty() && target.front() == '/') {
        joined = std::string(target.substr(1));
    } else {
        const auto slash = sourcePart.rfind('/');
        joined = std::string(slash == std::string_view::npos ? std::string_view{}
                                                             : sourcePart.substr(0, slash + 1)) +
                 std::string(target);
    }
    // Dot segments, as in "../worksheets/sheet1.xml".
    std::vector<std::string> segments;
    std::size_t pos = 0;
    while (pos <= joined.size()) {
        const std::size_t cut = std::min(joined.find('/', pos), joined.size());
        const std::string segment = joined.substr(pos, cut - pos);
        if (segment == "..") {
            if (!segments.empty()) segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        pos = cut + 1;
    }
    std::string out;
    for (const auto& segment : segments)
        out += (out.empty() ? "" : "/") + segment;
    return out;
}

std::string RelationshipsPartOf(std::string_view part) {
    const auto slash = part.rfind('/');
    const std::string_view folder =
        slash == std::string_view::npos ? std::string_view{} : part.substr(0, slash + 1);
    const std::string_view file = slash == std::string_view::npos ? part : part.substr(slash + 1);
    return std::string(folder) + "_rels/" + std::string(file) + ".rels";
}

void AppendUnescaped(std::string& out, std::string_view text) {
    std::size_t at = text.find("_x");
    if (at == std::string_view::npos) {
        out.append(text);
        return;
    }
    std::size_t copied = 0;
    while (at != std::string_view::npos) {
        int32_t unit = EscapeAt(text, at);
        std::size_t length = 7;
        uint32_t cp = static_cast<uint32_t>(unit);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            const int32_t low = EscapeAt(text, at + 7);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((static_cast<uint32_t>(unit) - 0xD800) << 10) +
                     (static_cast<uint32_t>(low) - 0xDC00);
                length = 14;
            } else {
                unit = -1;
            }
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            unit = -1;
        }
        if (unit <= 0) {  // not an escape (or NUL, which no text can hold): kept as written
            at = text.find("_x", at + 1);
            continue;
        }
        out.append(text.substr(copied, at - copied));
        AppendUtf8(out, cp);
        copied = at + length;
        at = text.find("_x", copied);
    }
    out.append(text.substr(copied));
}

bool ParseUnsigned(const char* text, uint32_t& value) {
    if (!text || !*text) return false;
    const char* end = text + std::strlen(text);
    const auto [stop, ec] = std::from_chars(text, end, value);
    return ec == std::errc{} && stop == end;
}

void RelationshipsHandler::StartElement(std::string_view name, const char** attributes) {
    if (name != "Relationship") return;
    const char* id = Attribute(attributes, "Id");
    const char* type = Attribute(attributes, "Type");
    const char* target = Attribute(attributes, "Target");
    const char* mode = Attribute(attributes, "TargetMode");
    if (!id || !type || !target || (mode && std::strcmp(mode, "External") == 0)) return;
    const std::string_view fullType(type);
    const auto slash = fullType.rfind('/');
    Relationship r{
        std::string(slash == std::string_view::npos ? fullType : fullType.substr(slash + 1)),
        target};
    if (byId_.emplace(id, std::move(r)).second) order_.push_back(id);
}

std::string RelationshipsHandler::TargetOfType(std::string_view type) const {
    for (const auto& id : order_) {
        const Relationship& r = byId_.at(id);
        if (r.Type == type) return r.Target;
    }
    return {};
}

void WorkbookHandler::StartElement(std::string_view name, const char** attributes) {
    if (name == "workbookPr") {
        date1904_ = IsTrue(Attribute(attributes, "date1904"));
    } else if (name == "sheets") {
        inSheets_ = true;
    } else if (name == "sheet" && inSheets_) {
        const char* sheetName = Attribute(attributes, "name");
        const char* id = Attribute(attributes, "id");
        sheets_.push_back(Sheet{sheetName ? sheetName : "", id ? id : ""});
    }
}

void WorkbookHandler::EndElement(std::string_view name) {
    if (name == "sheets") inSheets_ = false;
}

void StylesHandler::StartElement(std::string_view name, const char** attributes) {
    if (name == "numFmt") {
        uint32_t id = 0;
        const char* code = Attribute(attributes, "formatCode");
        if (ParseUnsigned(Attribute(attributes, "numFmtId"), id) && code)
            customFormats_[id] = ClassifyFormatCode(code);
    } else if (name == "cellXfs") {
        inCellXfs_ = true;
    } else if (name == "xf" && inCellXfs_) {
        uint32_t id = 0;
        if (!ParseUnsigned(Attribute(attributes, "numFmtId"), id)) id = 0;
        cellFormatIds_.push_back(id);
    }
}

void StylesHandler::EndElement(std::string_view name) {
    if (name == "cellXfs") inCellXfs_ = false;
}

std::vector<NumberKind> StylesHandler::StyleKinds() const {
    std::vector<NumberKind> kinds;
    kinds.reserve(cellFormatIds_.size());
    for (const uint32_t id : cellFormatIds_) {
        const auto custom = customFormats_.find(id);
        kinds.push_back(custom != customFormats_.end() ? custom->second : BuiltInFormatKind(id));
    }
    return kinds;
}

void SharedStringsHandler::StartElement(std::string_view name, const char**) {
    if (name == "si") {
        inItem_ = true;
        phoneticDepth_ = 0;
        item_.clear();
    } else if (name == "rPh" || name == "phoneticPr") {
        ++phoneticDepth_;
    } else if (name == "t" && inItem_ && phoneticDepth_ == 0) {
        inText_ = true;
        raw_.clear();
    }
}

void SharedStringsHandler::EndElement(std::string_view name) {
    if (name == "t" && inText_) {
        inText_ = false;
        AppendUnescaped(item_, raw_);
    } else if (name == "rPh" || name == "phoneticPr") {
        if (phoneticDepth_ > 0) --phoneticDepth_;
    } else if (name == "si" && inItem_) {
        inItem_ = false;
        if (strings_.Bytes() + item_.size() > SharedStrings::kMaxBytes) {
            Stop("too many shared strings");
            return;
        }
        strings_.Add(item_);
    }
}

void SharedStringsHandler::Characters(std::string_view text) {
    if (!inText_) return;
    if (raw_.size() + text.size() > maxText_) {
        Stop("a shared string is longer than any cell can be");
        return;
    }
    raw_.append(text);
}

}  // namespace vantrel::xlsx
