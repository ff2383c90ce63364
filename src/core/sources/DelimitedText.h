#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

// Stands for a comma that was inside double quotes while a line is split.
inline constexpr std::string_view kCommaMarker = "-$-";

// Most row numbers a list of rows not to import may hold.
inline constexpr std::size_t kMaxSkipRows = 32767;

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

// Expands a list such as "2-4,6" into its row numbers, in the order written, duplicates kept.
// Entries whose parts are not whole numbers add nothing; the list stops at kMaxSkipRows numbers.
std::vector<int32_t> ParseSkipRows(std::string_view text);

}  // namespace vantrel
