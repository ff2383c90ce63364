#pragma once

#include <cstdint>
#include <string_view>

#include "model/ErrorLog.h"
#include "model/ImportDefinition.h"
#include "model/NameList.h"

namespace vantrel {

// Whether ReconcileFields checks an existing mapping against the names ("1") or leaves it as it
// is ("0"); an empty mapping is rebuilt by name either way.
inline constexpr std::string_view kCheckMapping = "1";
inline constexpr std::string_view kKeepMapping = "0";

// Gives the definition slots 0..n and positions 0..m, keeping the pairs 1..TableCount (each
// FieldSlot set to its own slot) and their field pairs that still fit. Same sizes: no change.
void ResizeModel(ImportDefinition& def, int32_t n, int32_t m, ErrorLog& log);

// Gives FieldPairs slots 0..n and positions 0..m, keeping what fits; TableMax is unchanged.
void GrowFieldMax(ImportDefinition& def, int32_t n, int32_t m, ErrorLog& log);

// Brings the mapping of pair t in line with the current field lists of both tables: drops
// output fields the table no longer has (later pairs move up), unfeeds input fields that are
// gone, and matches by name when nothing is fed.
void ReconcileFields(ImportDefinition& def, int32_t t, const NameList& outNames,
                     const NameList& inNames, std::string_view mode, ErrorLog& log);

// True when some position of pair t has a name on the side (OutField for 0, InField for 1).
bool HasAnyField(const ImportDefinition& def, int32_t t, int side);

// Writes pairs of equal name (letter case ignored) from position 1 on; an input name may feed
// several output names. Positions after the last match are not touched.
void MatchFieldsByName(ImportDefinition& def, int32_t t, const NameList& outNames,
                       const NameList& inNames, ErrorLog& log);

}  // namespace vantrel
