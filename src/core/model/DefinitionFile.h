#pragma once

#include <cstdint>
#include <string>

#include "model/ErrorLog.h"
#include "model/ImportDefinition.h"

namespace vantrel {

// Largest number of field-pair positions ((TableMax+1) x (FieldMax+1)) a definition file may
// ask for; real definitions stay far below it, so anything larger is a damaged file.
inline constexpr int64_t kMaxDefinitionPositions = 10'000'000;

// The definition as the text of a definition file (UTF-8, CR LF line ends). Expects FieldCount
// to be up to date; see SaveDefinitionFile.
std::string FormatDefinitionText(const ImportDefinition& def);

// The bytes written to disk: CP932 so the file stays readable by the Windows program that shares
// the format; UTF-8 with a byte order mark when some character has no CP932 form.
std::string EncodeDefinitionText(const std::string& utf8Text, bool* usedUtf8 = nullptr);

// Writes the definition to `path`: recounts each pair's FieldCount, stamps FileVersion with
// `nowVer`, and replaces the file atomically. On success Modified becomes false. A failure
// leaves the old file untouched, keeps Modified, logs one line and returns false.
bool SaveDefinitionFile(const std::string& path, ImportDefinition& def, int32_t nowVer,
                        ErrorLog& log);

// Reads a definition file into `def`. Every failure ends the reading, logs
// "description (number)" and returns false; what was read before stays, with the counts kept
// within the arrays that exist.
bool ReadDefinitionFile(const std::string& path, ImportDefinition& def, ErrorLog& log);

}  // namespace vantrel
