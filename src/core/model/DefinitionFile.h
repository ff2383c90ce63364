#pragma once

#include <cstdint>
#include <string>

#include "model/ErrorLog.h"
#include "model/ImportDefinition.h"

namespace vantrel {

// The room a definition file may claim. TableMax follows the output database's tables (Access
// holds at most 32,768 objects) and FieldMax its widest table (255 fields in Access, 2,000 in
// SQLite); the positions (TableMax+1) x (FieldMax+1) are bounded as well, so that a damaged file
// of a few bytes cannot claim gigabytes. Anything larger is refused as damaged.
inline constexpr int32_t kMaxDefinitionTables = 32768;
inline constexpr int32_t kMaxDefinitionFields = 2000;
inline constexpr int64_t kMaxDefinitionPositions = 1'000'000;

// The definition as the text of a definition file (UTF-8, CR LF line ends). Expects FieldCount
// to be up to date (see SaveDefinitionFile). The counts of the header always match the lines
// written: only the pairs that exist, each with the field lines it has room for.
std::string FormatDefinitionText(const ImportDefinition& def);

// The bytes written to disk: CP932 so the file stays readable by the Windows program that shares
// the format; UTF-8 with a byte order mark when some character has no CP932 form.
std::string EncodeDefinitionText(const std::string& utf8Text, bool* usedUtf8 = nullptr);

// Writes the definition to `path`: recounts each pair's FieldCount, stamps FileVersion with
// `nowVer`, and replaces the file atomically. On success Modified becomes false. A failure,
// including a file that would not read back exactly as saved, leaves the old file untouched,
// keeps Modified, logs one line and returns false.
bool SaveDefinitionFile(const std::string& path, ImportDefinition& def, int32_t nowVer,
                        ErrorLog& log);

// Reads a definition file into `def`. Every failure ends the reading, logs
// "description (number)" and returns false; what was read before stays, with the counts kept
// within the arrays that exist. A pair value that cannot be used (a write mode outside 0-2, a
// negative header row) is logged with the pair's name; reading goes on and the result is false.
bool ReadDefinitionFile(const std::string& path, ImportDefinition& def, ErrorLog& log);

}  // namespace vantrel
