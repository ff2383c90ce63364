#pragma once

#include <string>
#include <vector>

namespace vantrel::access {

// Structural checks of a Jet4/ACE file, one line per problem found (empty: consistent). So far:
// every user table's definition reads, its owned pages are found, and the live rows on them match
// the row count the definition keeps, and every index tree is sound and (where its keys can be
// built) holds exactly the entries of the live rows.
// Remarks about what is unusual but readable (written that way by other programs) go to `notes`.
std::vector<std::string> VerifyDatabase(const std::string& path,
                                        std::vector<std::string>* notes = nullptr);

}  // namespace vantrel::access
