#pragma once

// Helpers of the text key tests: hex as the key files write it, their JSON strings and TSV lines.

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "access/TextKey.h"
#include "common/Encoding.h"

namespace vantrel::access::test_keys {

// Upper-case hex, as the golden files write keys.
inline std::string Hex(std::string_view bytes) {
    std::string out = test::Hex(bytes);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// The key of a value that must be keyable, in upper-case hex.
inline std::string KeyHex(std::string_view utf8, TextSortOrder order, bool ascending = true) {
    const TextKeyResult result = TextColumnKey(utf8, order, ascending, false);
    EXPECT_EQ(result.Status, TextKeyResult::Status::Ok) << utf8;
    return Hex(result.Bytes);
}

// A JSON string literal as UTF-8; none for `null`.
inline std::optional<std::string> ParseJsonString(std::string_view json) {
    if (json == "null") return std::nullopt;
    std::string out;
    char32_t pendingHigh = 0;
    for (std::size_t i = 1; i + 1 < json.size(); ++i) {
        if (json[i] != '\\') {
            out.push_back(json[i]);
            continue;
        }
        const char escape = json[++i];
        if (escape != 'u') {
            static constexpr std::string_view kFrom = "\"\\/bfnrt", kTo = "\"\\/\b\f\n\r\t";
            out.push_back(kTo[kFrom.find(escape)]);
            continue;
        }
        const auto unit =
            static_cast<char32_t>(std::stoul(std::string(json.substr(i + 1, 4)), nullptr, 16));
        i += 4;
        if (unit >= 0xD800 && unit < 0xDC00) {
            pendingHigh = unit;
        } else if (unit >= 0xDC00 && unit < 0xE000 && pendingHigh) {
            AppendUtf8(out, 0x10000 + ((pendingHigh - 0xD800) << 10) + (unit - 0xDC00));
            pendingHigh = 0;
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

// The items of a JSON array as their own JSON text: strings, numbers, null or nested arrays.
inline std::vector<std::string> JsonArrayItems(std::string_view json) {
    std::vector<std::string> items;
    int depth = 0;
    bool inString = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (inString) {
            if (c == '\\') ++i;
            if (c == '"') inString = false;
            continue;
        }
        if (c == '"') inString = true;
        if (c == '[' && ++depth == 1) start = i + 1;
        if ((c == ',' && depth == 1) || (c == ']' && depth-- == 1)) {
            std::string_view item = json.substr(start, i - start);
            while (!item.empty() && item.front() == ' ')
                item.remove_prefix(1);
            if (!item.empty()) items.emplace_back(item);
            start = i + 1;
        }
    }
    return items;
}

inline std::vector<std::vector<std::string>> ReadTsv(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::vector<std::string>> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields;
        std::stringstream stream(line);
        std::string field;
        while (std::getline(stream, field, '\t'))
            fields.push_back(field);
        rows.push_back(std::move(fields));
    }
    return rows;
}

}  // namespace vantrel::access::test_keys
