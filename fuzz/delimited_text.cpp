// Csv and txt files from any system: encoding detection, line reading and splitting must take
// any bytes and never lose the reader's place.
#include "FuzzInput.h"
#include "sources/DelimitedText.h"
#include "sources/TextLineReader.h"

using namespace vantrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    fuzz::InputCursor in(fuzz::AsView(data, size));
    static const char* const kDelimiters[] = {",", "\t", ";", " ", "|", "-$-"};
    const std::string delimiter = kDelimiters[in.Byte() % std::size(kDelimiters)];
    const std::string path = fuzz::WriteInput("input.csv", in.Rest());

    ErrorState error;
    TextFileLayout layout;
    FUZZ_CHECK(DetectTextFileLayout(path, layout, error), "a readable file has a layout");

    ErrorLog log;
    TextLineReader reader;
    FUZZ_CHECK(reader.Open(path, error, &log), "a readable file opens");
    std::string line;
    int64_t lines = 0;
    while (reader.ReadLine(line)) {
        ++lines;
        FUZZ_CHECK(reader.LineNumber() == lines, "line numbers count every line");
        for (const auto& piece : SplitLine(line, delimiter))
            (void)piece;
    }
    FUZZ_CHECK(lines <= static_cast<int64_t>(in.Rest().size()) + 1, "no more lines than bytes");
    return 0;
}
