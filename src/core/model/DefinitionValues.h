#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vantrel {

// A text value of a definition file: between double quotes, a quote inside it doubled so that
// the reader can tell it from the closing one.
std::string QuotedValue(std::string_view text);

// Takes the values of a definition file one after another, regardless of how they are spread
// over lines: a value ends at a comma or a line end, blanks before it are skipped, and a quoted
// value runs to its closing quote, commas and line ends included, a doubled quote standing for
// one quote. Whatever follows a closing quote up to the separator is dropped.
class DefinitionValueReader {
  public:
    explicit DefinitionValueReader(std::string_view text) : text_(text) {}

    // Next value, without its quotes; false at the end of the file.
    bool Next(std::string& value);

  private:
    static bool IsSeparator(char c) { return c == ',' || c == '\r' || c == '\n'; }
    void ReadQuoted(std::string& value);
    void SkipSeparator();

    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace vantrel
