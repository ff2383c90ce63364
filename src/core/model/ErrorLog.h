#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "common/ErrorState.h"

namespace vantrel {

// The log of problems met by the last operation, shown together in the error window. It never
// holds a line twice, so a problem that recurs on every record is listed once. It also carries
// the pending error that engine operations set and that adding a line clears.
class ErrorLog {
  public:
    ErrorState Pending;

    // Appends `message` unless an identical line (exact, case-sensitive) is already there; in
    // both cases the pending error is cleared.
    void AddErrorLine(const std::string& message);
    // Logs the pending error as "description (number)" when one is set.
    void AddPendingWithNumber();
    // Empties the log (the start of every operation that reports through it).
    void Clear();

    int32_t ErrorCount() const { return static_cast<int32_t>(lines_.size()); }
    bool Empty() const { return lines_.empty(); }
    // Line i, 1-based as the window numbers them.
    const std::string& Line(int32_t i) const { return lines_.at(static_cast<std::size_t>(i - 1)); }
    const std::vector<std::string>& Lines() const { return lines_; }
    // Every line followed by CR LF: the text the error window shows.
    std::string Text() const;

  private:
    std::vector<std::string> lines_;
    std::unordered_set<std::string> seen_;  // keeps the duplicate check fast on long logs
};

}  // namespace vantrel
