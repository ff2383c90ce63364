// Access databases (Jet3, Jet4, ACE) through libmdb. Values are decoded from the stored bytes, not
// from libmdb's text output, so dates before 1900, currency, GUIDs, decimals, long memos and
// surrogate pairs come out exactly.
#include <glib.h>
// glib must come first: mdbtools.h includes it inside extern "C".
#include <iconv.h>
#include <mdbtools.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Output.h"
#include "common/Encoding.h"
#include "common/TextCase.h"
#include "sources/engine/JetErrors.h"

namespace vantrel::reader {

namespace {

constexpr int kLongValueHeader = 12;
constexpr int kLongValueChunk = 4096;
constexpr int kBigIntType = 0x13;
constexpr int kExtendedDateType = 0x14;
constexpr int32_t kDaysFromYearOneToOleEpoch = 693593;

uint16_t U16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t U32(const unsigned char* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
template <typename T>
T Raw(const unsigned char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

class Database {
  public:
    ~Database() { Close(); }
    void Close() {
        if (mdb_) mdb_close(mdb_);
        mdb_ = nullptr;
    }
    MdbHandle* Open(const std::string& path) {
        Close();
        mdb_ = mdb_open(path.c_str(), MDB_NOFLAGS);
        return mdb_;
    }
    MdbHandle* Get() const { return mdb_; }

  private:
    MdbHandle* mdb_ = nullptr;
};

// Jet4 and ACE keep a masked password after the header; without one it is the creation date's
// whole part repeated. Encrypted pages are beyond this reader either way.
bool HasPassword(MdbHandle* mdb) {
    if (IS_JET3(mdb) || mdb->cur_pg != 0) return false;
    const auto date = Raw<double>(mdb->pg_buf + 0x72);
    if (!(date > -1e9 && date < 1e9)) return true;
    const auto expected = static_cast<uint32_t>(static_cast<int32_t>(date));
    for (int i = 0; i < 10; ++i) {
        if (U32(mdb->pg_buf + 0x42 + 4 * i) != expected) return true;
    }
    return false;
}

std::string Utf16LeToUtf8(const unsigned char* p, std::size_t bytes) {
    std::string out;
    TextDecoder decoder(TextEncoding::Utf16LE);
    decoder.Decode(std::string_view(reinterpret_cast<const char*>(p), bytes), out, true);
    return out;
}

class ValueDecoder {
  public:
    explicit ValueDecoder(MdbHandle* mdb)
        : mdb_(mdb), jet3_(IS_JET3(mdb)), cp932_(mdb->f->code_page == 932) {
        if (jet3_ && !cp932_) latin_ = iconv_open("UTF-8", "CP1252");
    }
    ~ValueDecoder() {
        if (latin_ != reinterpret_cast<iconv_t>(-1)) iconv_close(latin_);
    }
    ValueDecoder(const ValueDecoder&) = delete;
    ValueDecoder& operator=(const ValueDecoder&) = delete;

    std::string Text(const unsigned char* p, std::size_t n) const {
        if (jet3_) return AnsiText(p, n);
        if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
            // Compressed: one byte a character; a zero byte switches to two-byte characters and
            // back.
            std::string utf16;
            bool compressed = true;
            std::size_t i = 2;
            while (i < n) {
                if (p[i] == 0) {
                    compressed = !compressed;
                    ++i;
                } else if (compressed) {
                    utf16.push_back(static_cast<char>(p[i++]));
                    utf16.push_back('\0');
                } else if (i + 1 < n) {
                    utf16.push_back(static_cast<char>(p[i]));
                    utf16.push_back(static_cast<char>(p[i + 1]));
                    i += 2;
                } else {
                    break;
                }
            }
            return Utf16LeToUtf8(reinterpret_cast<const unsigned char*>(utf16.data()),
                                 utf16.size());
        }
        return Utf16LeToUtf8(p, n & ~std::size_t{1});
    }

    std::string AnsiText(const unsigned char* p, std::size_t n) const {
        const std::string_view bytes(reinterpret_cast<const char*>(p), n);
        if (cp932_) return Cp932ToUtf8(bytes);
        if (latin_ == reinterpret_cast<iconv_t>(-1)) return std::string(bytes);
        std::string out(n * 3 + 4, '\0');
        char* in = const_cast<char*>(bytes.data());
        std::size_t inLeft = n, outLeft = out.size();
        char* o = out.data();
        iconv(latin_, &in, &inLeft, &o, &outLeft);
        out.resize(out.size() - outLeft);
        return out;
    }

    // The whole long value (memo or OLE) whose 12-byte header stands at `header`.
    std::string LongValue(MdbColumn* col, const unsigned char* header) const {
        unsigned char hdr[kLongValueHeader];
        std::memcpy(hdr, header, sizeof hdr);
        const std::size_t length = U32(hdr) & 0x3FFFFFFF;
        std::string out;
        out.reserve(length);
        std::vector<unsigned char> chunk(kLongValueChunk * 2);
        void* saved = col->bind_ptr;
        col->bind_ptr = chunk.data();
        std::size_t n = mdb_ole_read(mdb_, col, hdr, chunk.size());
        while (n > 0 && out.size() < length) {
            out.append(reinterpret_cast<const char*>(chunk.data()), std::min(n, chunk.size()));
            n = mdb_ole_read_next(mdb_, col, hdr);
        }
        col->bind_ptr = saved;
        if (out.size() > length) out.resize(length);
        return out;
    }

  private:
    MdbHandle* mdb_;
    bool jet3_;
    bool cp932_;
    iconv_t latin_ = reinterpret_cast<iconv_t>(-1);
};

std::string GuidText(const unsigned char* p) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  U32(p), U16(p + 4), U16(p + 6), p[8], p[9], p[10], p[11], p[12], p[13], p[14],
                  p[15]);
    return buffer;
}

// 17 bytes: sign, then a 128-bit magnitude as four 32-bit words, most significant first.
std::string DecimalText(const unsigned char* p, int scale) {
    uint32_t words[4] = {U32(p + 1), U32(p + 5), U32(p + 9), U32(p + 13)};
    std::string digits;
    for (;;) {
        bool zero = true;
        uint64_t remainder = 0;
        for (uint32_t& w : words) {
            const uint64_t cur = (remainder << 32) | w;
            w = static_cast<uint32_t>(cur / 10);
            remainder = cur % 10;
            if (w) zero = false;
        }
        digits.insert(digits.begin(), static_cast<char>('0' + remainder));
        if (zero) break;
    }
    if (scale > 0) {
        const auto s = static_cast<std::size_t>(scale);
        if (digits.size() <= s) digits.insert(0, s - digits.size() + 1, '0');
        digits.insert(digits.size() - s, ".");
    }
    return ((p[0] & 0x80) && digits.find_first_not_of("0.") != std::string::npos ? "-" : "") +
           digits;
}

FieldType AccessType(int colType) {
    switch (colType) {
        case MDB_BOOL:
            return FieldType::Boolean;
        case MDB_BYTE:
            return FieldType::Byte;
        case MDB_INT:
            return FieldType::Integer;
        case MDB_LONGINT:
            return FieldType::Long;
        case MDB_MONEY:
            return FieldType::Currency;
        case MDB_FLOAT:
            return FieldType::Single;
        case MDB_DOUBLE:
            return FieldType::Double;
        case MDB_DATETIME:
        case kExtendedDateType:
            return FieldType::Date;
        case MDB_BINARY:
            return FieldType::Binary;
        case MDB_TEXT:
            return FieldType::Text;
        case MDB_OLE:
            return FieldType::LongBinary;
        case MDB_MEMO:
            return FieldType::Memo;
        case MDB_REPID:
            return FieldType::Guid;
        case MDB_NUMERIC:
            return FieldType::Decimal;
        case kBigIntType:
            return FieldType::BigInt;
        default:
            return FieldType::Unsupported;
    }
}

bool PropIs(const MdbColumn* col, const char* key, const char* value) {
    const char* v = mdb_col_get_prop(col, key);
    return v && LowerCase(v) == value;
}

FieldInfo DescribeColumn(MdbHandle* mdb, MdbColumn* col) {
    FieldInfo f;
    f.Name = col->name;
    f.Type = AccessType(col->col_type);
    if (const char* result = mdb_col_get_prop(col, "ResultType");
        result && mdb_col_get_prop(col, "Expression")) {
        f.Type = AccessType(std::atoi(result));  // calculated column: the type of its result
    }
    switch (f.Type) {
        case FieldType::Text:
            f.Size = IS_JET3(mdb) ? col->col_size : col->col_size / 2;
            break;
        case FieldType::Memo:
        case FieldType::LongBinary:
        case FieldType::Unsupported:
            f.Size = 0;
            break;
        case FieldType::Binary:
            f.Size = col->col_size;
            break;
        case FieldType::Decimal:
            f.Size = 17;
            break;
        case FieldType::Date:
            f.Size = 8;  // extended and calculated dates store more, but hold the same values
            break;
        default:
            f.Size = col->col_size > 0 ? col->col_size : (f.Type == FieldType::Boolean ? 1 : 0);
            break;
    }
    f.Required = PropIs(col, "Required", "yes");
    f.AllowZeroLength = !PropIs(col, "AllowZeroLength", "no");
    f.AutoIncrement = col->is_long_auto != 0;
    return f;
}

Value FixedValue(int type, const unsigned char* p, std::size_t n, int scale) {
    auto need = [&](std::size_t size) { return n >= size; };
    switch (type) {
        case MDB_BYTE:
            return need(1) ? Value::Integer(p[0]) : Value::Null();
        case MDB_INT:
            return need(2) ? Value::Integer(Raw<int16_t>(p)) : Value::Null();
        case MDB_LONGINT:
            return need(4) ? Value::Integer(Raw<int32_t>(p)) : Value::Null();
        case kBigIntType:
            return need(8) ? Value::Integer(Raw<int64_t>(p)) : Value::Null();
        case MDB_MONEY:
            return need(8) ? Value::Currency(Raw<int64_t>(p)) : Value::Null();
        case MDB_FLOAT:
            return need(4) ? Value::Single(Raw<float>(p)) : Value::Null();
        case MDB_DOUBLE:
            return need(8) ? Value::Double(Raw<double>(p)) : Value::Null();
        case MDB_DATETIME:
            return need(8) ? Value::DateTime(Raw<double>(p)) : Value::Null();
        case MDB_REPID:
            return need(16) ? Value::Guid(GuidText(p)) : Value::Null();
        case MDB_NUMERIC:
            return need(17) ? Value::Decimal(DecimalText(p, scale)) : Value::Null();
        case kExtendedDateType: {
            // "days since 0001-01-01:ticks of 100 ns:precision" in ASCII.
            const std::string text(reinterpret_cast<const char*>(p), n);
            const auto colon = text.find(':');
            if (colon == std::string::npos) return Value::Null();
            const double day = std::strtod(text.c_str(), nullptr) - kDaysFromYearOneToOleEpoch;
            const double time = std::strtod(text.c_str() + colon + 1, nullptr) / 864e9;
            // Before 1899-12-30 the day counts back while the time still counts forward.
            return Value::DateTime(day >= 0 ? day + time : day - time);
        }
        default:
            return Value::Null();
    }
}

class TableStreamer {
  public:
    TableStreamer(MdbHandle* mdb, MdbTableDef* table, Output& out)
        : mdb_(mdb), table_(table), out_(out), decoder_(mdb) {}

    bool Describe() {
        if (!mdb_read_columns(table_)) return false;
        for (unsigned int i = 0; i < table_->num_cols; ++i) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table_->columns, i));
            columns_.push_back(col);
            fields_.push_back(DescribeColumn(mdb_, col));
            calculated_.push_back(mdb_col_get_prop(col, "Expression") != nullptr);
            out_.Out().PutField(fields_.back());
        }
        out_.Out().Put(Tag::RowCount);
        out_.Out().PutInt64(table_->num_rows);
        return true;
    }

    // Streams every row; false when fewer rows came than the table says it holds.
    bool StreamRows() {
        mdb_rewind_table(table_);
        int64_t delivered = 0;
        std::vector<MdbField> cracked(std::max<std::size_t>(256, columns_.size() + 1));
        while (mdb_fetch_row(table_)) {
            const bool haveNulls = CrackNulls(cracked);
            out_.Out().Put(Tag::Row);
            for (std::size_t c = 0; c < columns_.size(); ++c) {
                // Without the null bits an empty value can only be taken as missing.
                const bool null =
                    haveNulls ? cracked[c].is_null != 0 : columns_[c]->cur_value_len == 0;
                out_.Out().PutValue(ColumnValue(c, null));
            }
            ++delivered;
            out_.FlushIfLarge();
        }
        return delivered >= static_cast<int64_t>(table_->num_rows);
    }

  private:
    // The row's real null bits: the only way to tell an empty text from a missing one.
    bool CrackNulls(std::vector<MdbField>& fields) {
        int start = 0;
        size_t length = 0;
        if (mdb_find_row(mdb_, static_cast<int>(table_->cur_row) - 1, &start, &length) != 0)
            return false;
        return mdb_crack_row(table_, start & 0x1FFF, length, fields.data()) >= 0;
    }

    Value ColumnValue(std::size_t c, bool null) {
        MdbColumn* col = columns_[c];
        const int type = col->col_type;
        const auto length =
            static_cast<std::size_t>(col->cur_value_len > 0 ? col->cur_value_len : 0);
        const unsigned char* p = mdb_->pg_buf + col->cur_value_start;
        if (type == MDB_BOOL) return Value::Boolean(col->cur_value_len == 0);
        if (null) return Value::Null();
        if (calculated_[c]) return CalculatedValue(c, p, length);
        switch (type) {
            case MDB_TEXT:
                return Value::Text(decoder_.Text(p, length));
            case MDB_BINARY:
                return Value::Bytes(std::string(reinterpret_cast<const char*>(p), length));
            case MDB_MEMO:
            case MDB_OLE: {
                if (length < kLongValueHeader) return Value::Null();
                const std::string bytes = decoder_.LongValue(col, p);
                const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
                return type == MDB_MEMO ? Value::Text(decoder_.Text(b, bytes.size()))
                                        : Value::Bytes(bytes);
            }
            default:
                if (length == 0) return Value::Null();
                return FixedValue(type, p, length, col->col_prec);
        }
    }

    // Calculated columns keep 16 bytes, a 4-byte length, then the result's own bytes.
    Value CalculatedValue(std::size_t c, const unsigned char* p, std::size_t n) {
        if (n < 20) return Value::Null();
        const std::size_t length = std::min<std::size_t>(U32(p + 16), n - 20);
        const unsigned char* data = p + 20;
        switch (fields_[c].Type) {
            case FieldType::Text:
            case FieldType::Memo:
                return Value::Text(decoder_.Text(data, length));
            case FieldType::Boolean:
                return length > 0 ? Value::Boolean(data[0] != 0) : Value::Null();
            case FieldType::Unsupported:
            case FieldType::Decimal:
                return Value::Null();
            default: {
                static const int kTypes[] = {0,         MDB_BOOL,    MDB_BYTE,
                                             MDB_INT,   MDB_LONGINT, MDB_MONEY,
                                             MDB_FLOAT, MDB_DOUBLE,  MDB_DATETIME};
                const auto t = static_cast<std::size_t>(fields_[c].Type);
                if (t >= std::size(kTypes)) return Value::Null();
                return FixedValue(kTypes[t], data, length, 0);
            }
        }
    }

    MdbHandle* mdb_;
    MdbTableDef* table_;
    Output& out_;
    ValueDecoder decoder_;
    std::vector<MdbColumn*> columns_;
    std::vector<FieldInfo> fields_;
    std::vector<bool> calculated_;
};

int32_t AttributesOf(const MdbCatalogEntry* entry) {
    const std::string name = entry->object_name;
    if ((static_cast<uint32_t>(entry->flags) & 0x80000002u) ||
        LowerCase(name.substr(0, 4)) == "msys") {
        return TableAttribute::SystemObject;
    }
    if (entry->object_type == MDB_LINKED_TABLE) return TableAttribute::AttachedTable;
    if (entry->object_type == MDB_REPORT) return TableAttribute::AttachedOdbc;
    if (entry->flags & 1) return TableAttribute::Hidden;
    return 0;
}

bool IsTableEntry(const MdbCatalogEntry* entry) {
    if (entry->object_type == MDB_TABLE || entry->object_type == MDB_LINKED_TABLE) return true;
    // ODBC-linked tables are filed with the report type; their flags carry the link bit.
    return entry->object_type == MDB_REPORT && (static_cast<uint32_t>(entry->flags) & 0x20000000u);
}

}  // namespace

int ReadAccess(const std::string& command, const std::string& path, const std::string& table,
               Output& out) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        out.End(JetError::FileNotFound, path);
        return 1;
    }
    Database db;
    MdbHandle* mdb = db.Open(path);
    if (!mdb) {
        out.End(JetError::UnrecognizedFormat, path);
        return 1;
    }
    // Files cut short still open; two pages are the least a database has.
    const off_t pageSize = IS_JET3(mdb) ? 2048 : 4096;
    if (st.st_size < 2 * pageSize) {
        out.End(JetError::CannotOpenDatabase, path);
        return 1;
    }
    if (IS_JET3(mdb) && mdb->f->code_page == 932) {
        // Japanese Access 97 text is Windows CP932, not plain Shift-JIS.
        setenv("MDB_JET3_CHARSET", "CP932", 1);
        mdb = db.Open(path);
        if (!mdb) {
            out.End(JetError::UnrecognizedFormat, path);
            return 1;
        }
    }
    if (HasPassword(mdb)) {
        out.End(JetError::InvalidPassword, path);
        return 1;
    }
    GPtrArray* catalog = mdb_read_catalog(mdb, MDB_ANY);
    if (!catalog) {
        out.End(JetError::CannotOpenDatabase, path);
        return 1;
    }
    std::vector<MdbCatalogEntry*> tables;
    for (unsigned int i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
        if (IsTableEntry(entry)) tables.push_back(entry);
    }
    if (command == "catalog") {
        for (const auto* entry : tables) {
            out.Out().Put(Tag::Table);
            out.Out().PutString(entry->object_name);
            out.Out().PutInt32(AttributesOf(entry));
        }
        out.End(0);
        return 0;
    }
    MdbCatalogEntry* found = nullptr;
    for (auto* entry : tables) {
        if (entry->object_name == table) found = entry;
    }
    for (auto* entry : tables) {
        if (!found && LowerCase(entry->object_name) == LowerCase(table)) found = entry;
    }
    if (!found || found->object_type != MDB_TABLE) {
        out.End(found ? JetError::OperationNotSupported : JetError::TableNotFound, table);
        return 1;
    }
    MdbTableDef* def = mdb_read_table(found);
    if (!def) {
        out.End(JetError::CannotOpenDatabase, path);
        return 1;
    }
    TableStreamer streamer(mdb, def, out);
    bool complete = streamer.Describe();
    if (complete) complete = streamer.StreamRows();
    mdb_free_tabledef(def);
    out.End(complete ? 0 : JetError::CannotOpenDatabase, complete ? std::string{} : path);
    return complete ? 0 : 1;
}

}  // namespace vantrel::reader
