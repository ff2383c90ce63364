// Definition files come from colleagues and other machines: any bytes must give a clean error,
// and whatever is read must leave the definition's counts within its arrays.
#include "FuzzInput.h"
#include "model/DefinitionFile.h"

using namespace vantrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string path = fuzz::WriteInput("definition.imp", fuzz::AsView(data, size));
    ImportDefinition def;
    ErrorLog log;
    const bool read = ReadDefinitionFile(path, def, log);
    FUZZ_CHECK(read || !log.Empty(), "a failed read logs why");
    FUZZ_CHECK(def.Tables.size() == static_cast<std::size_t>(def.TableMax) + 1 || !read,
               "one table slot per pair row");
    const int32_t usable = def.UsableTableCount();
    FUZZ_CHECK(usable >= 0 && static_cast<std::size_t>(usable) < def.Tables.size(),
               "usable pairs exist");
    for (int32_t t = 1; t <= usable; ++t)
        FUZZ_CHECK(def.FieldPairs.Contains(t, def.FieldMax), "field pairs exist for every pair");
    if (!read) return 0;
    // What was read saves, and reopens as exactly the definition that was saved.
    ErrorLog saveLog;
    const std::string copy = fuzz::ScratchFolder() + "/copy.imp";
    if (!SaveDefinitionFile(copy, def, 10, saveLog)) {
        FUZZ_CHECK(!saveLog.Empty(), "a refused save says why");
        return 0;
    }
    ImportDefinition reopened;
    ErrorLog reopenLog;
    FUZZ_CHECK(ReadDefinitionFile(copy, reopened, reopenLog),
               "a saved definition reopens: " + reopenLog.Text());
    FUZZ_CHECK(FormatDefinitionText(reopened) == FormatDefinitionText(def),
               "a saved definition reopens unchanged");
    return 0;
}
