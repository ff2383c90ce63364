// The output Access database is opened, walked and changed in the program's own process, so its
// parsing must survive any damage: the input patches a real database (so the fuzzer reaches deep
// pages), which is then verified, walked table by table and changed, and never saved.
#include <fstream>
#include <iterator>
#include <map>

#include "FuzzInput.h"
#include "access/Verifier.h"
#include "sources/engine/Backends.h"

using namespace vantrel;

namespace {

constexpr const char* kDatabases[] = {
    "access/jet4_v2003.mdb",
    "access/ace12_v2007.accdb",
    "access/ace16_v2016.accdb",
    "access/jet4_v2003_ja.mdb",
    "access/ace12_v2007_ja.accdb",
    "access-made/V2000/bigIndexTestV2000.mdb",
    "access-made/V2003/overflowTestV2003.mdb",
    "access-made/V2003/compIndexTestV2003.mdb",
    "access-made/V2007/indexTestV2007.accdb",
    "access-made/V2010/testPromotionV2010.accdb",
    "access-made/V2010/delTestV2010.accdb",
    "access-made/V1997/testV1997.mdb",
};
constexpr uint32_t kPageSize = 4096;
constexpr std::size_t kMaxRowsWalked = 100;

const std::string& FixtureBytes(std::size_t n) {
    static std::map<std::size_t, std::string> loaded;
    auto& bytes = loaded[n];
    if (bytes.empty()) {
        std::ifstream in(std::string(VANTREL_FIXTURES) + "/" + kDatabases[n], std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
        FUZZ_CHECK(!bytes.empty(), std::string("fixture missing: ") + kDatabases[n]);
    }
    return bytes;
}

// A value of the field's type, so adding and changing rows reach index and long-value code.
Value SampleValue(FieldType type, uint8_t seed) {
    switch (type) {
        case FieldType::Boolean:
            return Value::Boolean(seed & 1);
        case FieldType::Byte:
        case FieldType::Integer:
        case FieldType::Long:
        case FieldType::BigInt:
            return Value::Integer(seed);
        case FieldType::Currency:
            return Value::Currency(int64_t{seed} * 10'000);
        case FieldType::Single:
        case FieldType::Double:
            return Value::Double(seed / 4.0);
        case FieldType::Date:
            return Value::DateTime(40'000.5 + seed);
        case FieldType::Decimal:
            return Value::Decimal(std::to_string(seed) + ".5");
        case FieldType::Binary:
        case FieldType::LongBinary:
            return Value::Bytes(std::string(seed * 40u, 'b'));
        case FieldType::Memo:
            return Value::Text(std::string(seed * 30u, 'm'));
        case FieldType::Text:
            return Value::Text("キー" + std::to_string(seed));
        default:
            return Value::Null();
    }
}

void WalkAndChange(Database& db, ErrorState& error, uint8_t seed) {
    for (const auto& table : db.TableDefs()) {
        if (table.Attributes != 0) continue;
        error.Clear();
        auto rs = db.OpenRecordset(table.Name);
        if (!rs) continue;
        std::size_t rows = 0;
        for (; !rs->Eof() && rows < kMaxRowsWalked && !error.IsSet(); rs->MoveNext(), ++rows)
            for (int32_t f = 0; f < rs->FieldCount(); ++f)
                (void)rs->GetValue(f).ToText();
        error.Clear();
        rs->AddNew();
        for (int32_t f = 0; f < rs->FieldCount(); ++f)
            if (!rs->Field(f).AutoIncrement) rs->SetValue(f, SampleValue(rs->Field(f).Type, seed));
        rs->Update();
        error.Clear();
        rs->MoveFirst();
        if (!rs->Eof()) {
            rs->Edit();
            for (int32_t f = 0; f < rs->FieldCount(); ++f)
                if (!rs->Field(f).AutoIncrement)
                    rs->SetValue(f, SampleValue(rs->Field(f).Type, static_cast<uint8_t>(seed + 1)));
            rs->Update();
            error.Clear();
            rs->MoveNext();
            if (!rs->Eof()) rs->Delete();
        }
        rs->Close();
    }
    error.Clear();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    fuzz::InputCursor in(fuzz::AsView(data, size));
    const uint8_t selector = in.Byte();
    std::string bytes = FixtureBytes(selector % std::size(kDatabases));
    const uint32_t pages = static_cast<uint32_t>(bytes.size() / kPageSize);
    // Patches: page, offset in the page, length, bytes.
    while (!in.Empty()) {
        const uint32_t page = in.Uint(2) % pages;
        const uint32_t offset = in.Uint(2) % kPageSize;
        const std::string_view patch = in.Take(in.Byte());
        const std::size_t at = std::size_t{page} * kPageSize + offset;
        const std::size_t n = std::min(patch.size(), bytes.size() - at);
        bytes.replace(at, n, patch.substr(0, n));
    }
    // Byte 0x14 holds the format: 0 Jet3, 1 Jet4, higher ACE.
    const bool ace = bytes[0x14] > 1;
    const std::string path = fuzz::WriteInput(ace ? "db.accdb" : "db.mdb", bytes);

    (void)access::VerifyDatabase(path);

    ErrorState error;
    AccessWriteOptions options;
    options.AllowUnverifiedKeys = true;
    auto db = backends::OpenAccessForChanges(path, ace, options, error);
    if (db) {
        WalkAndChange(*db, error, static_cast<uint8_t>(selector >> 4));
        db->DiscardChanges();
    }
    return 0;
}
