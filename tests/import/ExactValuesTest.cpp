// Every value of every type arrives exactly: the AllTypes rows (the extremes of every type) from
// each kind of input into each kind of output, in all three write modes.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <map>

#include "RunSupport.h"
#include "TestSupport.h"
#include "sources/engine/TextConversion.h"

namespace vantrel {
namespace {

using test::Fixture;
using test::ReadTable;
using test::RunFixture;
using test::TempDir;

// The AllTypes fields a run maps (ID, the AutoNumber, has its own test).
const std::vector<std::string> kFields = {
    "Code",       "TextCol",   "MemoCol",   "LongCol",      "IntCol",      "ByteCol",
    "BoolCol",    "DoubleCol", "SingleCol", "CurrencyCol",  "DateCol",     "GuidCol",
    "DecimalCol", "OleCol",    "PlainText", "RequiredText", "DefaultLong", "DefaultText"};

using Row = std::map<std::string, Value>;  // field name -> value

// The AllTypes rows as the Access fixture holds them (read once).
const std::vector<Row>& AllTypesRows() {
    static const std::vector<Row> rows = [] {
        std::vector<Row> out;
        const auto table = ReadTable(Fixture("access/jet4_v2000.mdb"), "AllTypes");
        for (const auto& values : table) {
            Row row;
            for (std::size_t c = 0; c < kFields.size(); ++c)
                row[kFields[c]] = values[c + 1];  // column 0 is ID
            out.push_back(std::move(row));
        }
        return out;
    }();
    return rows;
}

// An SQLite database with AllTypes (holding `rows`) and an empty EmptyAllTypes, its columns
// declared so that SQLite keeps every value exactly.
void MakeSqliteAllTypes(const std::string& path, const std::vector<Row>& rows) {
    const char* columns =
        " (ID INTEGER PRIMARY KEY, Code VARCHAR(20) NOT NULL, TextCol VARCHAR(255), MemoCol TEXT,"
        " LongCol INTEGER, IntCol SMALLINT, ByteCol TINYINT, BoolCol BOOLEAN, DoubleCol DOUBLE,"
        " SingleCol SINGLE, CurrencyCol CURRENCY TEXT, DateCol DATETIME, GuidCol GUID,"
        " DecimalCol DECIMAL TEXT, OleCol BLOB, PlainText VARCHAR(50),"
        " RequiredText VARCHAR(50) NOT NULL, DefaultLong INTEGER DEFAULT 42,"
        " DefaultText VARCHAR(20) DEFAULT '未設定');";
    test::Exec(path, std::string("CREATE TABLE AllTypes") + columns + "CREATE TABLE EmptyAllTypes" +
                         columns);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    std::string marks;
    for (std::size_t c = 0; c < kFields.size(); ++c)
        marks += c ? ", ?" : "?";
    std::string names;
    for (const auto& f : kFields)
        names += (names.empty() ? "" : ", ") + f;
    sqlite3_stmt* insert = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(
                  db, ("INSERT INTO AllTypes (" + names + ") VALUES (" + marks + ")").c_str(), -1,
                  &insert, nullptr),
              SQLITE_OK);
    for (const Row& row : rows) {
        for (std::size_t c = 0; c < kFields.size(); ++c) {
            const Value& v = row.at(kFields[c]);
            const int i = static_cast<int>(c) + 1;
            std::string text = v.ToText();
            switch (v.kind()) {
                case Value::Kind::Null:
                    sqlite3_bind_null(insert, i);
                    break;
                case Value::Kind::Integer:
                case Value::Kind::Boolean:
                    sqlite3_bind_int64(insert, i, v.Int());
                    break;
                case Value::Kind::Double:
                case Value::Kind::Single:
                    sqlite3_bind_double(insert, i, v.Dbl());
                    break;
                case Value::Kind::Bytes:
                    sqlite3_bind_blob(insert, i, v.Str().data(), static_cast<int>(v.Str().size()),
                                      SQLITE_TRANSIENT);
                    break;
                case Value::Kind::DateTime: {
                    DateTimeParts p;
                    ASSERT_TRUE(OleDateToParts(v.Dbl(), p));
                    char iso[32];
                    std::snprintf(iso, sizeof iso, "%04d-%02d-%02d %02d:%02d:%02d", p.Year, p.Month,
                                  p.Day, p.Hour, p.Minute, p.Second);
                    text = iso;
                    [[fallthrough]];
                }
                default:
                    sqlite3_bind_text(insert, i, text.c_str(), static_cast<int>(text.size()),
                                      SQLITE_TRANSIENT);
                    break;
            }
        }
        ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE) << sqlite3_errmsg(db);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_close(db);
}

std::string WithoutQuotes(std::string text) {
    std::erase(text, '"');
    return text;
}

// A csv cell that reads back as `v`: numbers with every digit they need, texts quoted where
// they hold a comma (the quotes a text holds cannot pass through a csv file).
std::string CsvCell(const Value& v) {
    char buffer[64];
    switch (v.kind()) {
        case Value::Kind::Double:
            std::snprintf(buffer, sizeof buffer, "%.17g", v.Dbl());
            return buffer;
        case Value::Kind::Single:
            std::snprintf(buffer, sizeof buffer, "%.9g", v.Dbl());
            return buffer;
        case Value::Kind::Text: {
            const std::string text = WithoutQuotes(v.Str());
            return text.find(',') == std::string::npos ? text : "\"" + text + "\"";
        }
        default:
            return v.ToText();
    }
}

// One kind of input: where it is, the table, the fields mapped (output <- input), and the
// values each of its rows delivers for the mapped output fields.
struct InputCase {
    std::string Path;
    std::string Table;
    std::vector<std::pair<std::string, std::string>> Fields;
    std::vector<Row> Values;
    int32_t HeaderRow = 1;
};

std::vector<std::pair<std::string, std::string>> SameNames(const std::vector<std::string>& names) {
    std::vector<std::pair<std::string, std::string>> fields;
    for (const auto& n : names)
        fields.emplace_back(n, n);
    return fields;
}

InputCase AccessInput(const std::string& file) {
    return {Fixture("access/" + file), "AllTypes", SameNames(kFields), AllTypesRows()};
}

InputCase SqliteInput(const TempDir& dir) {
    const std::string path = dir.File("alltypes.sqlite");
    MakeSqliteAllTypes(path, AllTypesRows());
    return {path, "AllTypes", SameNames(kFields), AllTypesRows()};
}

InputCase CsvInput(const TempDir& dir) {
    std::vector<std::string> fields;
    for (const auto& f : kFields) {
        if (f != "OleCol") fields.push_back(f);  // bytes have no place in a text file
    }
    std::string csv = "\xEF\xBB\xBF";
    for (const auto& f : fields)
        csv += f + (f == fields.back() ? "\r\n" : ",");
    std::vector<Row> values;
    for (const Row& row : AllTypesRows()) {
        Row delivered;
        for (const auto& f : fields) {
            const Value& v = row.at(f);
            csv += CsvCell(v) + (f == fields.back() ? "\r\n" : ",");
            delivered[f] = v.kind() == Value::Kind::Text ? Value::Text(WithoutQuotes(v.Str())) : v;
        }
        values.push_back(std::move(delivered));
    }
    test::WriteBytes(dir.File("alltypes.csv"), csv);
    return {dir.File("alltypes.csv"), "alltypes.csv", SameNames(fields), values};
}

// Sheet1 of mixed_types.xls: numbers, dates and date-times, booleans and texts as typed cells.
InputCase ExcelInput() {
    InputCase in{Fixture("excel/mixed_types.xls"),
                 "Sheet1$",
                 {{"Code", "ID"},
                  {"RequiredText", "ID"},
                  {"TextCol", "氏名"},
                  {"DoubleCol", "金額"},
                  {"CurrencyCol", "金額"},
                  {"DateCol", "日時"},
                  {"BoolCol", "有効"},
                  {"MemoCol", "メモ"}},
                 {}};
    auto date = [](int y, int mo, int d, int h, int mi, int s) {
        double ole = 0;
        EXPECT_TRUE(PartsToOleDate({y, mo, d, h, mi, s}, ole));
        return Value::DateTime(ole);
    };
    const Value null;
    const struct {
        const char* id;
        Value name, amount;
        int64_t currency;
        Value when, valid, memo;
    } rows[] = {
        {"1", Value::Text("山田太郎"), Value::Double(1234.5), 12345000, date(2024, 3, 15, 9, 5, 30),
         Value::Boolean(true), Value::Text("普通のメモ")},
        {"2", Value::Text("Smith, John"), Value::Double(-0.25), -2500, date(2000, 1, 1, 0, 0, 0),
         Value::Boolean(false), Value::Text("彼ははいと言った")},
        {"3", Value::Text("改行\nあり"), Value::Double(1000000), 10000000000,
         date(2024, 2, 29, 23, 59, 59), Value::Boolean(true), null},
        {"4", null, Value::Double(0), 0, null, Value::Boolean(false), Value::Text("カンマ,あり")},
        {"5", Value::Text("ｶﾀｶﾅ ﾊﾝｶｸ"), Value::Double(3.14159), 31416,
         date(2024, 12, 31, 18, 30, 0), Value::Boolean(true), Value::Text("全体が引用")},
        {"6", Value::Text("髙橋①～"), Value::Double(12345678901), 123456789010000, null, null,
         Value::Text("  前後に空白  ")},
    };
    for (const auto& r : rows) {
        in.Values.push_back({{"Code", Value::Text(r.id)},
                             {"RequiredText", Value::Text(r.id)},
                             {"TextCol", r.name},
                             {"DoubleCol", r.amount},
                             {"CurrencyCol", Value::Currency(r.currency)},
                             {"DateCol", r.when},
                             {"BoolCol", r.valid},
                             {"MemoCol", r.memo}});
    }
    return in;
}

// What an untouched field holds: the old row's value in update mode, else the field's default.
struct OutputCase {
    std::string Schema;  // "access:FILE" or "sqlite"
    bool Access() const { return Schema != "sqlite"; }
};

// The rows update mode overwrites: every mapped field holds a value of its own.
const char* kOldCsv =
    "Code,TextCol,MemoCol,LongCol,IntCol,ByteCol,BoolCol,DoubleCol,SingleCol,CurrencyCol,DateCol,"
    "GuidCol,DecimalCol,PlainText,RequiredText,DefaultLong,DefaultText\r\n";
std::string OldCsvRow(int n) {
    return "Z" + std::to_string(100 + n) +
           ",旧,旧メモ,5,5,5,True,5.5,5.5,5.5,2001/01/01,{00000000-0000-0000-0000-000000000005},"
           "5.5,旧,旧,5,旧\r\n";
}
Row OldRow() {
    double date = 0;
    PartsToOleDate({2001, 1, 1, 0, 0, 0}, date);
    return {{"TextCol", Value::Text("旧")},
            {"MemoCol", Value::Text("旧メモ")},
            {"LongCol", Value::Integer(5)},
            {"IntCol", Value::Integer(5)},
            {"ByteCol", Value::Integer(5)},
            {"BoolCol", Value::Boolean(true)},
            {"DoubleCol", Value::Double(5.5)},
            {"SingleCol", Value::Single(5.5f)},
            {"CurrencyCol", Value::Currency(55000)},
            {"DateCol", Value::DateTime(date)},
            {"GuidCol", Value::Guid("{00000000-0000-0000-0000-000000000005}")},
            {"DecimalCol", Value::Decimal("5.5")},
            {"PlainText", Value::Text("旧")},
            {"RequiredText", Value::Text("旧")},
            {"DefaultLong", Value::Integer(5)},
            {"DefaultText", Value::Text("旧")},
            {"OleCol", Value::Null()}};
}

Value DefaultOf(const OutputCase& out, const std::string& field) {
    if (field == "DefaultLong") return Value::Integer(42);
    if (field == "DefaultText") return Value::Text("未設定");
    if (field == "BoolCol" && out.Access()) return Value::Boolean(false);
    return Value::Null();
}

// Equal as stored: dates to the second, decimals by their digits (trailing zeros after the point
// depend on the column's scale), everything else exactly, bit for bit.
bool SameStored(const Value& expected, const Value& actual) {
    if (expected.kind() == Value::Kind::DateTime && actual.kind() == Value::Kind::DateTime)
        return expected.ToText() == actual.ToText();
    if (expected.kind() == Value::Kind::Decimal && actual.kind() == Value::Kind::Decimal) {
        auto digits = [](std::string text) {
            if (text.find('.') != std::string::npos) {
                while (text.back() == '0')
                    text.pop_back();
                if (text.back() == '.') text.pop_back();
            }
            return text;
        };
        return digits(expected.Str()) == digits(actual.Str());
    }
    return expected == actual;
}

std::string Describe(const Value& v) {
    return std::to_string(static_cast<int>(v.kind())) + ":" + test::Hex(v.ToText());
}

class ExactValues : public testing::TestWithParam<const char*> {
  protected:
    InputCase Input() {
        const std::string kind = GetParam();
        if (kind == "mdb") return AccessInput("jet4_v2003.mdb");
        if (kind == "accdb") return AccessInput("ace14_v2010.accdb");
        if (kind == "sqlite") return SqliteInput(data_);
        if (kind == "csv") return CsvInput(data_);
        return ExcelInput();
    }

    // Runs `in` into `out` in `mode` and compares every mapped field of every row.
    void Check(const InputCase& in, const OutputCase& out, int32_t mode) {
        SCOPED_TRACE(out.Schema + " mode " + std::to_string(mode));
        RunFixture r(in.Path, out.Schema == "sqlite" ? "CREATE TABLE unused (x);" : out.Schema);
        if (!out.Access()) {
            std::filesystem::remove(r.output);
            MakeSqliteAllTypes(r.output, AllTypesRows());
        }
        r.engine.SetAllowUnverifiedKeys(true);  // コード020 holds a long-vowel mark
        r.state.Definition.Allocate(2, 20);
        const std::string table = mode == WriteMode::New ? "AllTypes" : "EmptyAllTypes";
        if (mode == WriteMode::Update) {
            // Rows of their own to overwrite, put there by a run of its own.
            std::string csv = kOldCsv;
            for (std::size_t n = 0; n < in.Values.size(); ++n)
                csv += OldCsvRow(static_cast<int>(n));
            test::WriteBytes(r.dir.File("old.csv"), csv);
            r.state.Definition.InputPath = r.dir.File("old.csv");
            std::vector<std::pair<std::string, std::string>> fields;
            for (const auto& [name, value] : OldRow()) {
                if (name != "OleCol") fields.emplace_back(name, name);
            }
            fields.emplace_back("Code", "Code");
            r.Pair(1, table, "old.csv", fields);
            r.Start();
            ASSERT_TRUE(Quiet(r.state.Errors)) << r.state.Errors.Text();
            r.state.Definition.InputPath = in.Path;
        }
        TableSetting& pair = r.Pair(1, table, in.Table, in.Fields);
        pair.WriteMode = mode;
        pair.HeaderRow = in.HeaderRow;
        r.Start();
        EXPECT_TRUE(Quiet(r.state.Errors)) << r.state.Errors.Text();

        const auto rows = ReadTable(r.output, table);
        ASSERT_EQ(rows.size(), in.Values.size());
        auto names = ReadFieldNames(r.output, table);
        const Row old = OldRow();
        for (std::size_t n = 0; n < rows.size(); ++n) {
            for (const auto& [field, input] : in.Values[n]) {
                const auto at = std::find(names.begin(), names.end(), field) - names.begin();
                ASSERT_LT(static_cast<std::size_t>(at), names.size()) << field;
                Value expected = input;
                if (input.IsNull() || (input.kind() == Value::Kind::Text && input.Str().empty())) {
                    expected = mode == WriteMode::Update ? old.at(field) : DefaultOf(out, field);
                } else if (input.kind() == Value::Kind::Text && mode != WriteMode::Update) {
                    expected = Value::Text(WithoutQuotes(input.Str()));
                }
                const Value& actual = rows[n][static_cast<std::size_t>(at)];
                EXPECT_TRUE(SameStored(expected, actual))
                    << "row " << n + 1 << " " << field << ": expected " << Describe(expected)
                    << " (" << expected.ToText().substr(0, 40) << "), got " << Describe(actual)
                    << " (" << actual.ToText().substr(0, 40) << ")";
            }
        }
    }

    // No line but the note about keys with long-vowel marks.
    static bool Quiet(const ErrorLog& log) {
        return std::all_of(log.Lines().begin(), log.Lines().end(), [](const std::string& line) {
            return line.find("キーが未確認の文字") != std::string::npos;
        });
    }

    static std::vector<std::string> ReadFieldNames(const std::string& path,
                                                   const std::string& table) {
        ErrorState error;
        Engine engine(error);
        auto db = engine.OpenDatabase(path, 0, true);
        std::vector<std::string> names;
        auto rs = db ? db->OpenRecordset(table) : nullptr;
        for (int32_t c = 0; rs && c < rs->FieldCount(); ++c)
            names.push_back(rs->Field(c).Name);
        return names;
    }

    TempDir data_;
};

TEST_P(ExactValues, EveryTypeIntoEveryOutputInEveryMode) {
    const InputCase in = Input();
    ASSERT_FALSE(in.Values.empty());
    for (const char* output : {"sqlite", "access:jet4_v2000.mdb", "access:ace16_v2016.accdb"}) {
        for (const int32_t mode : {WriteMode::New, WriteMode::Append, WriteMode::Update})
            Check(in, OutputCase{output}, mode);
    }
}

INSTANTIATE_TEST_SUITE_P(FromEachInput, ExactValues,
                         testing::Values("mdb", "accdb", "sqlite", "csv", "xls"));

// The date 0100-01-01 12:00 (before Access's day zero, with a time) from text into Access, and
// from that Access database into another.
TEST(ExactValues, TheFirstDayAccessKnowsWithATimeOfDay) {
    TempDir data;
    test::WriteBytes(data.File("dates.csv"),
                     "code,req,when\r\nD1,r,0100/01/01 12:00:00\r\nD2,r,9999/12/31 23:59:59\r\n");
    RunFixture first(data.File("dates.csv"), "access:jet4_v2003.mdb");
    first.Pair(1, "EmptyAllTypes", "dates.csv",
               {{"Code", "code"}, {"RequiredText", "req"}, {"DateCol", "when"}});
    first.Start();
    EXPECT_TRUE(first.state.Errors.Empty()) << first.state.Errors.Text();

    RunFixture second(first.output, "access:ace12_v2007.accdb");
    second.Pair(1, "EmptyAllTypes", "EmptyAllTypes",
                {{"Code", "Code"}, {"RequiredText", "RequiredText"}, {"DateCol", "DateCol"}});
    second.Start();
    EXPECT_TRUE(second.state.Errors.Empty()) << second.state.Errors.Text();
    const auto rows = ReadTable(second.output, "EmptyAllTypes");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][11].ToText(), "0100/01/01 12:00:00");
    EXPECT_DOUBLE_EQ(rows[0][11].Dbl(), -657434.5);
    EXPECT_EQ(rows[1][11].ToText(), "9999/12/31 23:59:59");
}

// SQLite numbers hold 15 digits: a value that needs more is refused by a number column, never
// rounded, and kept whole by a column declared with TEXT.
TEST(ExactValues, SqliteNumberColumnsRefuseWhatTheyCannotHold) {
    TempDir data;
    test::WriteBytes(data.File("money.csv"),
                     "c,d\r\n922337203685477.5807,12345678901234.5678\r\n1.5,0.25\r\n");
    RunFixture r(data.File("money.csv"),
                 "CREATE TABLE n (c CURRENCY, d DECIMAL(18,4));"
                 "CREATE TABLE t (c CURRENCY TEXT, d DECIMAL TEXT);");
    r.Pair(1, "n", "money.csv", {{"c", "c"}, {"d", "d"}});
    r.Pair(2, "t", "money.csv", {{"c", "c"}, {"d", "d"}});
    r.Start();
    const std::string log = r.state.Errors.Text();
    EXPECT_NE(
        log.find("c->c ：値 '922337203685477.5807' は 15 桁を超えるため、SQLite の数値の列 'n.c' "
                 "には正確に格納できません。"),
        std::string::npos)
        << log;
    EXPECT_NE(log.find("'12345678901234.5678'"), std::string::npos) << log;
    EXPECT_EQ(test::Rows(r.output, "SELECT typeof(c), c, typeof(d), d FROM n"),
              (std::vector<std::string>{"null|<null>|null|<null>", "real|1.5|real|0.25"}));
    EXPECT_EQ(test::Rows(r.output, "SELECT c, d FROM t"),
              (std::vector<std::string>{"922337203685477.5807|12345678901234.5678", "1.5|0.25"}));
    const auto kept = ReadTable(r.output, "t");
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0][0], Value::Currency(INT64_MAX));
    EXPECT_EQ(kept[0][1], Value::Decimal("12345678901234.5678"));
}

}  // namespace
}  // namespace vantrel
