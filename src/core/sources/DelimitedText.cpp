#include "sources/DelimitedText.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <iterator>
#include <utility>

namespace vantrel {

namespace {

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool MatchesAt(std::string_view text, std::size_t pos, std::string_view delimiter) {
    for (std::size_t k = 0; k < delimiter.size(); ++k) {
        if (AsciiLower(text[pos + k]) != AsciiLower(delimiter[k])) return false;
    }
    return true;
}

// A quoted segment (it holds no quote) with its commas turned into the marker.
void AppendProtected(std::string& out, std::string_view part) {
    for (std::size_t comma = part.find(','); comma != std::string_view::npos;
         comma = part.find(',')) {
        out.append(part.substr(0, comma));
        out.append(kCommaMarker);
        part.remove_prefix(comma + 1);
    }
    out.append(part);
}

void AppendWithoutQuotes(std::string& out, std::string_view part) {
    for (std::size_t quote = part.find('"'); quote != std::string_view::npos;
         quote = part.find('"')) {
        out.append(part.substr(0, quote));
        part.remove_prefix(quote + 1);
    }
    out.append(part);
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

}  // namespace

bool ToRowNumber(std::string_view s, int64_t& value) {
    s = TrimBlanks(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return false;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    return ec == std::errc{} && ptr == s.data() + s.size();
}

std::string FoldQuotes(std::string_view input) {
    if (input.empty()) return {};
    std::string converted;
    std::string_view line = input;
    if (input.find('\r') != std::string_view::npos) {
        converted.reserve(input.size());
        for (std::size_t i = 0; i < input.size(); ++i) {
            if (input[i] == '\r') {
                converted.push_back('\n');
                if (i + 1 < input.size() && input[i + 1] == '\n') ++i;
            } else {
                converted.push_back(input[i]);
            }
        }
        line = converted;
    }
    const std::size_t lastQuote = line.rfind('"');
    if (lastQuote == std::string_view::npos) return std::string(line);

    // Between the k-th and (k+1)-th quote the text is inside quotes when k is odd; commas there
    // are protected. Everything after the last quote, even an unterminated quote's tail, is not.
    std::string out;
    out.reserve(line.size() + line.size() / 8);
    std::size_t segmentStart = 0;
    bool inside = false;
    for (std::size_t quote = line.find('"'); quote != std::string_view::npos && quote <= lastQuote;
         quote = line.find('"', quote + 1)) {
        const std::string_view segment = line.substr(segmentStart, quote - segmentStart);
        if (inside) {
            AppendProtected(out, segment);
        } else {
            out.append(segment);
        }
        inside = !inside;
        segmentStart = quote + 1;
    }
    AppendWithoutQuotes(out, line.substr(lastQuote + 1));
    return out;
}

std::string RestorePiece(std::string_view piece) {
    if (piece.find(kCommaMarker) == std::string_view::npos) return std::string(piece);
    std::string out;
    out.reserve(piece.size());
    std::size_t pos = 0;
    for (;;) {
        const std::size_t hit = piece.find(kCommaMarker, pos);
        if (hit == std::string_view::npos) break;
        out.append(piece.substr(pos, hit - pos));
        out.push_back(',');
        pos = hit + kCommaMarker.size();
    }
    out.append(piece.substr(pos));
    return out;
}

std::vector<std::string> SplitFoldedLine(std::string_view folded, std::string_view delimiter) {
    std::vector<std::string> pieces;
    if (folded.empty()) return pieces;
    if (delimiter.empty()) {
        pieces.push_back(RestorePiece(folded));
        return pieces;
    }
    // A delimiter without letters is found by plain search; letters match in either case.
    const bool hasLetters = std::any_of(delimiter.begin(), delimiter.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    });
    std::size_t start = 0;
    std::size_t i = 0;
    while (i + delimiter.size() <= folded.size()) {
        if (!hasLetters) {
            const std::size_t hit = folded.find(delimiter, i);
            if (hit == std::string_view::npos) break;
            i = hit;
        } else if (!MatchesAt(folded, i, delimiter)) {
            ++i;
            continue;
        }
        pieces.push_back(RestorePiece(folded.substr(start, i - start)));
        i += delimiter.size();
        start = i;
    }
    pieces.push_back(RestorePiece(folded.substr(start)));
    return pieces;
}

std::vector<std::string> SplitLine(std::string_view line, std::string_view delimiter) {
    return SplitFoldedLine(FoldQuotes(line), delimiter);
}

RowsToSkip::RowsToSkip(std::vector<Range> written) : written_(std::move(written)) {
    merged_ = written_;
    std::sort(merged_.begin(), merged_.end(),
              [](const Range& a, const Range& b) { return a.First < b.First; });
    std::size_t kept = 0;
    for (const Range& r : merged_) {
        if (kept > 0 && (merged_[kept - 1].Last >= r.First - 1)) {
            merged_[kept - 1].Last = std::max(merged_[kept - 1].Last, r.Last);
        } else {
            merged_[kept++] = r;
        }
    }
    merged_.resize(kept);
}

bool RowsToSkip::Contains(int64_t row) const {
    // The first range starting after the row; the one before it is the only candidate.
    const auto after = std::upper_bound(merged_.begin(), merged_.end(), row,
                                        [](int64_t x, const Range& r) { return x < r.First; });
    return after != merged_.begin() && std::prev(after)->Last >= row;
}

int64_t RowsToSkip::FirstNotContained(int64_t from) const {
    int64_t row = from;
    for (const Range& r : merged_) {
        if (r.First > row) break;
        if (r.Last >= row) {
            if (r.Last == INT64_MAX) return INT64_MAX;  // nothing is left above
            row = r.Last + 1;
        }
    }
    return row;
}

RowsToSkip ParseSkipRows(std::string_view text) {
    std::vector<RowsToSkip::Range> ranges;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t comma = text.find(',', pos);
        if (comma == std::string_view::npos) comma = text.size();
        const std::string_view entry = text.substr(pos, comma - pos);
        pos = comma + 1;
        if (TrimBlanks(entry).empty()) continue;

        const std::size_t firstDash = entry.find('-');
        const std::size_t lastDash = entry.rfind('-');
        const std::string_view startText = entry.substr(0, firstDash);
        const std::string_view endText =
            lastDash == std::string_view::npos ? entry : entry.substr(lastDash + 1);
        int64_t first = 0, last = 0;
        if (!ToRowNumber(startText, first) || !ToRowNumber(endText, last)) continue;
        if (first <= last) ranges.push_back({first, last});
    }
    return RowsToSkip(std::move(ranges));
}

}  // namespace vantrel
