#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

// The latest failure of an engine, file or model operation: set by the operation that failed,
// read and cleared at the check points of its caller. Nothing is thrown across routines.
struct ErrorState {
    int32_t Number = 0;
    std::string Description;
    std::string Source;

    bool IsSet() const { return Number != 0; }
    void Set(int32_t number, std::string description, std::string source = {});
    void Clear();
    // "description (number)", the form the error log uses for file and runtime errors.
    std::string WithNumber() const;
};

// Runtime error numbers users of the Windows program know from its messages.
namespace RuntimeError {
inline constexpr int32_t InvalidProcedureCall = 5;
inline constexpr int32_t Overflow = 6;
inline constexpr int32_t OutOfMemory = 7;
inline constexpr int32_t SubscriptOutOfRange = 9;
inline constexpr int32_t TypeMismatch = 13;
inline constexpr int32_t FileNotFound = 53;
inline constexpr int32_t DiskFull = 61;
inline constexpr int32_t InputPastEndOfFile = 62;
inline constexpr int32_t PermissionDenied = 70;
inline constexpr int32_t PathFileAccessError = 75;
inline constexpr int32_t PathNotFound = 76;

// The standard Japanese description of a runtime error number.
std::string Description(int32_t number);
}  // namespace RuntimeError

}  // namespace vantrel
