#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// Stands for a comma that was inside double quotes while a line is split.
inline constexpr std::string_view kCommaMarker = "-$-";

// Removes the double quotes of a line and protects the commas that stood inside balanced quotes
// by turning them into the comma marker. The tail of an unterminated quote is left unprotected.
std::string FoldQuotes(std::string_view line);

// Cuts a folded line at every occurrence of the delimiter (letter case ignored) and turns every
// comma marker back into a comma. An empty line gives no pieces; an empty delimiter gives the
// whole line as one piece. Pieces are not trimmed.
std::vector<std::string> SplitFoldedLine(std::string_view folded, std::string_view delimiter);

// Every comma marker of a piece turned back into ",".
std::string RestorePiece(std::string_view piece);

// FoldQuotes, then SplitFoldedLine: what every reader does with a line it uses.
std::vector<std::string> SplitLine(std::string_view line, std::string_view delimiter);

// One part of a rows entry as a whole number: decimal digits, blanks around and a "+" allowed.
bool ToRowNumber(std::string_view text, int64_t& value);

// The rows not to import of a pair, kept as the ranges written ("2-4,6" holds 2 to 4 and 6 to
// 6) rather than expanded, so that a list of any length is honoured whole.
class RowsToSkip {
  public:
    struct Range {
        int64_t First = 0;
        int64_t Last = 0;
        bool operator==(const Range&) const = default;
    };

    RowsToSkip() = default;
    // Ranges in the order written; each First <= Last.
    explicit RowsToSkip(std::vector<Range> written);

    bool Empty() const { return written_.empty(); }
    bool Contains(int64_t row) const;
    // The last number of the list as written (0 when empty): "6,2-4" ends with 4.
    int64_t LastWritten() const { return written_.empty() ? 0 : written_.back().Last; }
    // The smallest row from `from` on that is not in the list.
    int64_t FirstNotContained(int64_t from) const;
    const std::vector<Range>& Written() const { return written_; }

  private:
    std::vector<Range> written_;
    std::vector<Range> merged_;  // sorted, disjoint and not touching: what Contains searches
};

// Reads a list such as "2-4,6": comma-separated entries, each a row or a range whose first
// part is its start and last part its end ("2-5-9" is 2 to 9). Empty entries, entries whose
// parts are not whole numbers and ranges that end before they start add nothing.
RowsToSkip ParseSkipRows(std::string_view text);

}  // namespace vantrel
