#pragma once

#include <cstdint>
#include <string>

#include "common/ErrorState.h"

namespace vantrel {

// Database engine error numbers as Access users know them.
namespace JetError {
inline constexpr int32_t TableExists = 3010;
inline constexpr int32_t UpdateWithoutAddNew = 3020;
inline constexpr int32_t NoCurrentRecord = 3021;
inline constexpr int32_t DuplicateKey = 3022;
inline constexpr int32_t FileNotFound = 3024;
inline constexpr int32_t ReadOnly = 3027;
inline constexpr int32_t InvalidPassword = 3031;
inline constexpr int32_t InvalidPath = 3044;
inline constexpr int32_t CannotOpenDatabase = 3049;
inline constexpr int32_t CannotOpenFile = 3051;
inline constexpr int32_t TableNotFound = 3078;
inline constexpr int32_t IllegalName = 3125;
inline constexpr int32_t FieldTooSmall = 3163;
inline constexpr int32_t CannotUpdateField = 3164;
inline constexpr int32_t RecordDeleted = 3167;
inline constexpr int32_t FieldDefinedTwice = 3191;
inline constexpr int32_t HasRelatedRecords = 3200;
inline constexpr int32_t DatabaseExists = 3204;
inline constexpr int32_t NeedsRelatedRecord = 3201;
inline constexpr int32_t ItemNotFound = 3265;
inline constexpr int32_t ExternalTableFormat = 3274;
inline constexpr int32_t RequiredIsNull = 3314;
inline constexpr int32_t ZeroLengthNotAllowed = 3315;
inline constexpr int32_t ValidationRule = 3317;
inline constexpr int32_t UnrecognizedFormat = 3343;
inline constexpr int32_t ConversionError = 3421;
inline constexpr int32_t ObjectClosed = 3420;
inline constexpr int32_t DiskFull = 3035;
inline constexpr int32_t RecordTooLarge = 3047;
inline constexpr int32_t NullInIndex = 3058;
inline constexpr int32_t EngineFailure = 3000;
// What Access reports when a database would pass its 2 GB limit.
inline constexpr int32_t DatabaseTooLarge = 3001;
inline constexpr int32_t OperationNotSupported = 3251;
}  // namespace JetError

// Sets `error` to engine error `number` with its Japanese description; `name` is the file,
// table, field or value the message names (empty where the message names nothing).
void SetJetError(ErrorState& error, int32_t number, const std::string& name = {});

// The Japanese description of an engine error.
std::string JetErrorDescription(int32_t number, const std::string& name = {});

}  // namespace vantrel
