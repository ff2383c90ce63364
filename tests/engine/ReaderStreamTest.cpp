#include "sources/engine/ReaderStream.h"

#include <gtest/gtest.h>

#include <cstring>

#include "sources/engine/JetErrors.h"

namespace vantrel {
namespace {

using reader::Tag;

// A catalog of one table and a rows stream of `rows` records (an Integer and a Text field).
struct Streams {
    std::string Catalog, Rows;
};

Streams MakeStreams(int rows) {
    reader::Writer catalog;
    catalog.Put(Tag::Table);
    catalog.PutString("商品");
    catalog.PutInt32(0);
    catalog.Put(Tag::End);
    catalog.PutInt32(0);
    catalog.PutString("");
    reader::Writer out;
    for (const auto& [name, type] :
         {std::pair{"コード", FieldType::Long}, {"名前", FieldType::Text}}) {
        out.PutField(FieldInfo{name, type, type == FieldType::Text ? 50 : 4});
    }
    out.Put(Tag::RowCount);
    out.PutInt64(rows);
    for (int r = 0; r < rows; ++r) {
        out.Put(Tag::Row);
        out.PutValue(Value::Integer(r));
        out.PutValue(Value::Text("品目" + std::to_string(r)));
    }
    out.Put(Tag::End);
    out.PutInt32(0);
    out.PutString("");
    return {catalog.Buffer(), out.Buffer()};
}

std::unique_ptr<Database> OpenStreams(const Streams& s, ErrorState& error) {
    return backends::OpenStreamDatabase(
        "access", "in.mdb",
        [s](const std::vector<std::string>& request) -> std::unique_ptr<reader::StreamSource> {
            return std::make_unique<reader::MemorySource>(request.at(1) == "catalog" ? s.Catalog
                                                                                     : s.Rows);
        },
        error);
}

// Rows of the table, or -1 when the walk ended with an error.
int ReadRows(const Streams& s, ErrorState& error) {
    auto db = OpenStreams(s, error);
    if (!db) return -1;
    auto rs = db->OpenRecordset("商品");
    if (!rs) return -1;
    int n = 0;
    for (; !rs->Eof(); rs->MoveNext(), ++n) {
        EXPECT_EQ(rs->GetValue(0).Int(), n);
        EXPECT_EQ(rs->GetValue(1).Str(), "品目" + std::to_string(n));
    }
    return error.IsSet() ? -1 : n;
}

TEST(ReaderStream, AWholeStreamGivesEveryRow) {
    ErrorState error;
    EXPECT_EQ(ReadRows(MakeStreams(40), error), 40) << error.Description;
}

// The reader can die at any byte: every cut gives an error, never a row made up or a crash.
TEST(ReaderStream, AStreamCutAtAnyByteIsReportedAsBroken) {
    const Streams whole = MakeStreams(12);
    for (std::size_t cut = 0; cut < whole.Rows.size(); ++cut) {
        Streams s = whole;
        s.Rows.resize(cut);
        ErrorState error;
        EXPECT_EQ(ReadRows(s, error), -1) << cut;
        EXPECT_EQ(error.Number, JetError::CannotOpenDatabase) << cut;
    }
    for (std::size_t cut = 0; cut < whole.Catalog.size(); ++cut) {
        Streams s = whole;
        s.Catalog.resize(cut);
        ErrorState error;
        EXPECT_FALSE(OpenStreams(s, error)) << cut;
        EXPECT_TRUE(error.IsSet()) << cut;
    }
}

// A rows stream that closes "complete" before its fields and row count is no table.
TEST(ReaderStream, AStreamThatClosesBeforeItsRowsIsBroken) {
    Streams s = MakeStreams(1);
    reader::Writer end;
    end.Put(Tag::End);
    end.PutInt32(0);
    end.PutString("");
    s.Rows = end.Buffer();
    ErrorState error;
    auto db = OpenStreams(s, error);
    ASSERT_TRUE(db);
    EXPECT_FALSE(db->OpenRecordset("商品"));
    EXPECT_EQ(error.Number, JetError::CannotOpenDatabase);
}

// A length the stream does not go on to deliver costs only what did arrive.
TEST(ReaderStream, AClaimedLengthIsNotTakenOnTrust) {
    std::string bytes(4, '\0');
    const uint32_t claimed = reader::kMaxWireString;
    std::memcpy(bytes.data(), &claimed, 4);
    bytes += "only a few bytes";
    reader::MemorySource source(bytes);
    std::string text;
    EXPECT_FALSE(source.GetString(text));
    EXPECT_LT(text.capacity(), std::size_t{4} << 20);
}

TEST(ReaderStream, AClosingErrorCarriesItsDetail) {
    Streams s = MakeStreams(2);
    reader::Writer end;
    end.Put(Tag::Detail);
    end.PutString("（line 3: mismatched tag）");
    end.Put(Tag::End);
    end.PutInt32(JetError::CannotOpenDatabase);
    end.PutString("in.xlsx");
    const std::size_t closing = s.Rows.rfind(static_cast<char>(Tag::End));
    s.Rows = s.Rows.substr(0, closing) + end.Buffer();
    ErrorState error;
    EXPECT_EQ(ReadRows(s, error), -1);
    EXPECT_NE(error.Description.find("in.xlsx"), std::string::npos) << error.Description;
    EXPECT_NE(error.Description.find("mismatched tag"), std::string::npos) << error.Description;
}

}  // namespace
}  // namespace vantrel
