// The program decodes what the reader process writes; a reader that crashed, was killed or was
// replaced must never make that decoding crash, hang or allocate without bound. The input is a
// catalog stream (its length first) followed by the rows stream every table gets.
#include "FuzzInput.h"
#include "sources/engine/ReaderStream.h"

using namespace vantrel;

namespace {

constexpr std::size_t kMaxRows = 10'000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    fuzz::InputCursor in(fuzz::AsView(data, size));
    const std::string catalog(in.Take(in.Uint(2)));
    const std::string rows(in.Rest());
    auto open = [&](const std::vector<std::string>& request)
        -> std::unique_ptr<reader::StreamSource> {
        return std::make_unique<reader::MemorySource>(request.at(1) == "catalog" ? catalog : rows);
    };
    ErrorState error;
    auto db = backends::OpenStreamDatabase("access", "fuzz.mdb", open, error);
    if (!db) {
        FUZZ_CHECK(error.IsSet(), "a refused stream says why");
        return 0;
    }
    for (const auto& table : db->TableDefs()) {
        auto rs = db->OpenRecordset(table.Name);
        if (!rs) {
            FUZZ_CHECK(error.IsSet(), "a refused table says why");
            error.Clear();
            continue;
        }
        for (int pass = 0; pass < 2; ++pass) {
            std::size_t n = 0;
            for (; !rs->Eof() && n < kMaxRows; rs->MoveNext(), ++n)
                for (int32_t f = 0; f < rs->FieldCount(); ++f)
                    (void)rs->GetValue(f).ToText();
            error.Clear();
            rs->MoveFirst();
        }
        rs->Close();
    }
    return 0;
}
