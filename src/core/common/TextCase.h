#pragma once

#include <string>
#include <string_view>

namespace vantrel {

// Lower-cases UTF-8 text the way names are compared without regard to case: ASCII, Latin-1,
// Greek, Cyrillic and full-width Latin letters. Everything else is left as it is.
std::string LowerCase(std::string_view utf8);

// True when both names are equal once lower-cased.
bool EqualIgnoringCase(std::string_view a, std::string_view b);

}  // namespace vantrel
