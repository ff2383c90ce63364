#pragma once

#include <string>
#include <vector>

#include "sources/engine/Engine.h"

namespace vantrel {

// How the import method dialog reads the first rows of an input for its preview.
enum class PreviewSource { None, Text, Workbook, Database };

// Rows the preview shows at most.
inline constexpr int kPreviewRows = 20;

// The first rows of `table` (text files have only one), unprocessed: a text line as read, or a
// record's values; a database first gets a line of its field names. Each line starts with its
// number and a tab. A file that cannot be read gives what was read before the failure, and the
// engine's pending error is left as it was: the preview never reports.
std::vector<std::string> ReadPreview(Engine& engine, const std::string& path, PreviewSource source,
                                     const std::string& table);

}  // namespace vantrel
