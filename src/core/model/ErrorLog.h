#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
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
    // Every line followed by CR LF: the text of the log itself.
    std::string Text() const;

    // The input row being worked on (line of a text file, row of a sheet, record of a table);
    // 0 when no row is. Lines added meanwhile remember where they first happened.
    void SetRow(int64_t row) { row_ = row; }
    // Where line i (1-based) first happened (0: not at a row) and how often it was added.
    int64_t FirstRow(int32_t i) const { return info_.at(static_cast<std::size_t>(i - 1)).FirstRow; }
    int64_t Occurrences(int32_t i) const { return info_.at(static_cast<std::size_t>(i - 1)).Count; }
    // Line i with where and how often it happened, e.g. "… (12 行目ほか 3,999 件)".
    std::string DescribedLine(int32_t i) const;
    // Every described line followed by CR LF: what the error window and vantrel-run show.
    std::string DescribedText() const;

  private:
    struct LineInfo {
        int64_t FirstRow = 0;
        int64_t Count = 0;
    };
    std::vector<std::string> lines_;
    std::vector<LineInfo> info_;
    std::unordered_map<std::string, std::size_t> index_;  // keeps the duplicate check fast
    int64_t row_ = 0;
};

}  // namespace vantrel
