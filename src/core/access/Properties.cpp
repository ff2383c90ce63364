#include "access/Properties.h"

#include <vector>

#include "access/Bytes.h"
#include "access/JetFile.h"

namespace vantrel::access {

namespace {

constexpr uint16_t kNamesChunk = 0x80;
constexpr uint8_t kBooleanProperty = 0x01;

}  // namespace

std::map<std::string, ColumnProperties> ReadColumnProperties(std::string_view blob) {
    std::map<std::string, ColumnProperties> columns;
    if (blob.size() < 4 || blob.substr(0, 4) != std::string_view("MR2\0", 4)) return columns;
    std::vector<std::string> names;
    for (std::size_t at = 4; at + 6 <= blob.size();) {
        const uint32_t chunkLength = U32(blob, at);
        const uint16_t chunkType = U16(blob, at + 4);
        if (chunkLength < 6 || at + chunkLength > blob.size()) break;
        const std::string_view chunk = blob.substr(at + 6, chunkLength - 6);
        at += chunkLength;
        if (chunkType == kNamesChunk) {
            for (std::size_t k = 0; k + 2 <= chunk.size();) {
                const uint16_t length = U16(chunk, k);
                if (k + 2 + length > chunk.size()) break;
                names.push_back(DecodeJetText(chunk.substr(k + 2, length)));
                k += 2u + length;
            }
            continue;
        }
        if (chunkType > 1 || chunk.size() < 6) continue;
        // A block of one object's properties: its length, its name, then the properties.
        const uint16_t objectNameLength = U16(chunk, 4);
        if (6u + objectNameLength > chunk.size()) continue;
        const std::string object = DecodeJetText(chunk.substr(6, objectNameLength));
        if (chunkType == 0) continue;  // the table's own properties
        ColumnProperties& props = columns[object];
        for (std::size_t k = 6u + objectNameLength; k + 8 <= chunk.size();) {
            const uint16_t length = U16(chunk, k);
            if (length < 8 || k + length > chunk.size()) break;
            const uint8_t type = U8(chunk, k + 3);
            const uint16_t nameIndex = U16(chunk, k + 4);
            const uint16_t valueLength = U16(chunk, k + 6);
            const std::string_view value =
                chunk.substr(k + 8, std::min<std::size_t>(valueLength, length - 8u));
            k += length;
            if (nameIndex >= names.size()) continue;
            const std::string& name = names[nameIndex];
            const bool on = type == kBooleanProperty && !value.empty() && value[0] != 0;
            if (name == "Required") {
                props.Required = on;
            } else if (name == "AllowZeroLength") {
                props.AllowZeroLength = on;
            } else if (name == "DefaultValue") {
                props.DefaultValue = DecodeJetText(value);
            }
        }
    }
    return columns;
}

}  // namespace vantrel::access
