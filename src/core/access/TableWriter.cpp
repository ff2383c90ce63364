#include "access/TableWriter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <random>

#include "access/Bytes.h"
#include "access/DataPage.h"
#include "access/IndexKey.h"
#include "access/IndexTree.h"
#include "access/RelationshipNames.h"
#include "access/TextKey.h"
#include "access/UsageMap.h"
#include "common/Encoding.h"
#include "common/TextCase.h"
#include "sources/engine/JetErrors.h"
#include "sources/engine/TextConversion.h"

namespace vantrel::access {

namespace {

constexpr std::size_t kInlineLongValue = 64;
constexpr std::size_t kLongValueChunk = 4072;
constexpr std::size_t kRowCountAt = 16;
constexpr std::size_t kAutoNumberAt = 20;

bool IsLongValue(const JetColumn& col) {
    return col.Type == JetType::Memo || col.Type == JetType::Ole;
}

bool IsText(const JetColumn& col) {
    return col.Type == JetType::Text || col.Type == JetType::Memo;
}

// Why a table cannot be written, empty when it can. The reason is a clause: the import log
// frames it as "<table>は、<reason>ため、インポートできませんでした". `relationshipName` gives the
// name the user knows a relationship by.
std::string Refusal(const JetTable& table, const std::string& name, int version,
                    const std::function<std::string(const JetLogicalIndex&)>& relationshipName) {
    const std::string quoted = "テーブル '" + name + "'";
    for (const auto& col : table.Columns) {
        if (col.Type == JetType::Complex)
            return quoted + " に添付ファイル型または複数値のフィールド '" + col.Name + "' がある";
        if (col.MiscFlags & 0xC0) return quoted + " に集計フィールド '" + col.Name + "' がある";
        if (FieldTypeOf(col) == FieldType::Unsupported)
            return quoted + " のフィールド '" + col.Name + "' がこのプログラムの書き込めない型 (" +
                   std::to_string(col.Type) + ") である";
    }
    for (const auto& index : table.Indexes) {
        const JetRealIndex& real = table.RealIndexes[index.RealIndex];
        for (const auto& key : real.Columns) {
            const JetColumn* col = table.ColumnByNumber(key.ColumnNumber);
            if (!col) return quoted + " の索引 '" + index.Name + "' の列が見つからない";
            if (IsText(*col) && !TextSortOrderSupported(col->SortOrder, col->SortVersion))
                return quoted + " のフィールド '" + col->Name + "' の索引 '" + index.Name +
                       "' の並べ替え順 (" + std::to_string(col->SortOrder) + ", 版 " +
                       std::to_string(col->SortVersion) +
                       ") が、索引キーを作れる「一般 - 従来」(1033, 版 0)、「一般」(1033, 版 1)、"
                       "「日本語」(1041, 版 0) のどれでもない";
        }
        if (!IndexSupportsKeys(table, real, version))
            return quoted + " の索引 '" + index.Name +
                   "' のキーがこのプログラムの作れない種類 (降順の十進型など) である";
        if (index.IsRelationship() && (index.CascadeUpdates || index.CascadeDeletes))
            return quoted + " のリレーションシップ '" + relationshipName(index) +
                   "' に連鎖更新または連鎖削除が設定されている";
    }
    return {};
}

double CurrentOleDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    DateTimeParts parts{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                        local.tm_hour,        local.tm_min,     local.tm_sec};
    double ole = 0;
    PartsToOleDate(parts, ole);
    return ole;
}

std::string RandomGuid() {
    static std::mt19937_64 generator{std::random_device{}()};
    static const char* kHex = "0123456789ABCDEF";
    std::string text = "{";
    for (int i = 0; i < 32; ++i) {
        if (i == 8 || i == 12 || i == 16 || i == 20) text += '-';
        int digit = static_cast<int>(generator() % 16);
        if (i == 12) digit = 4;  // a version 4 (random) GUID
        if (i == 16) digit = 8 | (digit & 3);
        text += kHex[digit];
    }
    return text + "}";
}

}  // namespace

std::unique_ptr<TableWriter> TableWriter::Open(JetWriteFile& file, const JetCatalogEntry& entry,
                                               const std::vector<JetCatalogEntry>& catalog,
                                               ErrorState& error) {
    std::string problem;
    auto table = ReadTableDefinition(file, entry.DefinitionPage, problem);
    if (!table) {
        SetJetError(error, JetError::CannotOpenDatabase, entry.Name + ": " + problem);
        return nullptr;
    }
    const auto relationshipName = [&](const JetLogicalIndex& index) {
        const std::string given = RelationshipName(file, catalog, entry.Name, *table, index);
        return given.empty() ? index.Name : given;
    };
    if (const std::string refusal = Refusal(*table, entry.Name, file.Version(), relationshipName);
        !refusal.empty()) {
        error.Set(JetError::OperationNotSupported, refusal);
        return nullptr;
    }
    if (!RowAt(file, table->OwnedPagesMap) || !RowAt(file, table->FreePagesMap)) {
        SetJetError(error, JetError::CannotOpenDatabase, entry.Name);
        return nullptr;
    }
    std::unique_ptr<TableWriter> writer(new TableWriter(file, entry.Name, std::move(*table)));
    const auto properties = ReadColumnProperties(entry.Properties);
    for (std::size_t c = 0; c < writer->table_.Columns.size(); ++c) {
        const auto it = properties.find(writer->table_.Columns[c].Name);
        if (it != properties.end()) writer->properties_[c] = it->second;
    }
    if (!writer->SetUpRelationships(catalog, error)) return nullptr;
    return writer;
}

TableWriter::TableWriter(JetWriteFile& file, std::string name, JetTable table)
    : file_(file), name_(std::move(name)), table_(std::move(table)), storage_(file_, table_) {
    properties_.resize(table_.Columns.size());
    defaults_.resize(table_.Columns.size());
}

std::vector<uint32_t> TableWriter::LiveRows() {
    std::vector<uint32_t> rows;
    ErrorState ignored;
    for (uint32_t page : PagesInUsageMap(file_, RowAt(file_, table_.OwnedPagesMap).value_or(""))) {
        // Only row pointers are kept: the pages read may leave the cache again.
        file_.Checkpoint(ignored);
        const std::string_view data = file_.Page(page);
        if (data.empty() || U8(data, 0) != 0x01 || DataPage::TableOf(data) != table_.DefinitionPage)
            continue;
        for (uint16_t slot = 0; slot < RowsOnPage(data); ++slot) {
            const auto row = RowOnPage(data, slot);
            if (row && !(row->Flags & DataPage::kDeleted)) rows.push_back(page << 8 | slot);
        }
    }
    return rows;
}

StoredRow TableWriter::Read(uint32_t pointer) const {
    const auto row = LiveRow(file_, pointer >> 8, static_cast<uint16_t>(pointer & 0xFF));
    return row ? UnpackRow(table_, *row) : StoredRow(table_.Columns.size());
}

Value TableWriter::ReadValue(const StoredRow& row, std::size_t column) const {
    return DecodeColumnValue(file_, table_.Columns[column], row[column]);
}

void TableWriter::Fail(ErrorState& error, int32_t number, const std::string& what) {
    SetJetError(error, number, what);
}

bool TableWriter::Encode(std::size_t column, const Value& value, std::optional<std::string>& stored,
                         ErrorState& error) {
    const JetColumn& col = table_.Columns[column];
    if (value.IsNull()) {
        stored.reset();
        return true;
    }
    // Text for a text column is taken as it is; anything else is converted first.
    Value holder;
    const Value* converted = &value;
    if (value.kind() != Value::Kind::Text || !IsText(col)) {
        if (!ConvertValueToType(FieldTypeOf(col), value, holder)) {
            Fail(error, JetError::ConversionError, name_ + "." + col.Name);
            return false;
        }
        converted = &holder;
    }
    if (col.Type == JetType::Text && Utf16Length(converted->Str()) > col.Length / 2u) {
        Fail(error, JetError::FieldTooSmall, name_ + "." + col.Name);
        return false;
    }
    std::string bytes;
    if (IsLongValue(col)) {
        bytes = EncodeLongValueData(col, *converted);
    } else if (!EncodeColumnValue(col, *converted, bytes)) {
        Fail(error, JetError::ConversionError, name_ + "." + col.Name);
        return false;
    }
    stored = std::move(bytes);
    return true;
}

std::optional<Value> TableWriter::DefaultFor(std::size_t column) {
    // A literal is worked out once; Date(), Now() and Time() for every row.
    Default& d = defaults_[column];
    if (!d.Known || d.PerRow) d.Given = EvaluateDefault(column, d.PerRow);
    d.Known = true;
    return d.Given;
}

std::optional<Value> TableWriter::EvaluateDefault(std::size_t column, bool& perRow) {
    const JetColumn& col = table_.Columns[column];
    perRow = false;
    std::string expr = properties_[column].DefaultValue;
    if (!expr.empty() && expr[0] == '=') expr.erase(0, 1);
    expr.erase(0, std::min(expr.find_first_not_of(' '), expr.size()));
    while (!expr.empty() && expr.back() == ' ')
        expr.pop_back();
    if (expr.empty()) return std::nullopt;
    std::string literal = expr;
    if (expr.size() >= 2 && expr.front() == '"' && expr.back() == '"') {
        literal.clear();
        for (std::size_t i = 1; i + 1 < expr.size(); ++i) {
            literal += expr[i];
            if (expr[i] == '"' && expr[i + 1] == '"') ++i;
        }
        if (IsText(col)) return Value::Text(literal);
    } else {
        const std::string lower = LowerCase(expr);
        perRow = lower == "date()" || lower == "now()" || lower == "time()";
        if (lower == "date()")
            return Value::DateTime(static_cast<double>(static_cast<int64_t>(CurrentOleDate())));
        if (lower == "now()") return Value::DateTime(CurrentOleDate());
        if (lower == "time()") {
            const double now = CurrentOleDate();
            return Value::DateTime(now - static_cast<double>(static_cast<int64_t>(now)));
        }
    }
    Value value;
    if (ConvertTextToValue(FieldTypeOf(col), literal, value)) return value;
    if (unappliedDefault_.empty()) unappliedDefault_ = col.Name + " (" + expr + ")";
    return std::nullopt;
}

bool TableWriter::CheckRow(const StoredRow& row, ErrorState& error) const {
    for (std::size_t c = 0; c < table_.Columns.size(); ++c) {
        const JetColumn& col = table_.Columns[c];
        if (col.IsAutoNumber() || col.Type == JetType::Boolean) continue;
        if (!row[c]) {
            if (properties_[c].Required) {
                SetJetError(error, JetError::RequiredIsNull, name_ + "." + col.Name);
                return false;
            }
            continue;
        }
        if (IsText(col) && row[c]->empty() && !properties_[c].AllowZeroLength) {
            SetJetError(error, JetError::ZeroLengthNotAllowed, name_ + "." + col.Name);
            return false;
        }
    }
    return true;
}

bool TableWriter::WriteLongValues(StoredRow& row, ErrorState& error) {
    for (std::size_t c = 0; c < table_.Columns.size(); ++c) {
        if (!IsLongValue(table_.Columns[c]) || !row[c]) continue;
        auto field = storage_.StoreLongValue(c, *row[c], error);
        if (!field) return false;
        row[c] = std::move(field);
    }
    return true;
}

bool TableWriter::SetUpRelationships(const std::vector<JetCatalogEntry>& catalog,
                                     ErrorState& error) {
    for (const auto& index : table_.Indexes) {
        if (!index.IsRelationship()) continue;
        Relationship r;
        r.ChildSide = index.RelatedTableType != 0x01;
        r.OwnIndex = index.RealIndex;
        std::string problem;
        auto other = ReadTableDefinition(file_, index.RelatedTable, problem);
        for (const auto& e : catalog) {
            if (e.DefinitionPage == index.RelatedTable) r.OtherName = e.Name;
        }
        const JetLogicalIndex* otherIndex = nullptr;
        if (other) {
            for (const auto& candidate : other->Indexes) {
                if (candidate.Number == index.RelatedIndex) otherIndex = &candidate;
            }
        }
        const bool usable =
            otherIndex &&
            other->RealIndexes[otherIndex->RealIndex].Columns.size() ==
                table_.RealIndexes[index.RealIndex].Columns.size() &&
            IndexSupportsKeys(*other, other->RealIndexes[otherIndex->RealIndex], file_.Version());
        if (!usable) {
            error.Set(JetError::OperationNotSupported,
                      "テーブル '" + name_ + "' のリレーションシップ '" + index.Name +
                          "' の相手のテーブル '" + r.OtherName + "' の索引が読めない");
            return false;
        }
        r.OtherIndex = otherIndex->RealIndex;
        r.Other = std::move(*other);
        relationships_.push_back(std::move(r));
    }
    return true;
}

TableWriter::RowKeys TableWriter::KeysOf(const StoredRow& row, const std::vector<bool>* memoIsData,
                                         bool allowUnverified, KeyProblem* problem,
                                         const std::vector<bool>* only) const {
    std::vector<std::optional<std::string_view>> values(row.size());
    std::vector<std::string> memoData(row.size());  // sized up front: views point into it
    for (std::size_t c = 0; c < row.size(); ++c) {
        if (!row[c]) continue;
        values[c] = *row[c];
        if (table_.Columns[c].Type == JetType::Memo && !(memoIsData && (*memoIsData)[c])) {
            memoData[c] = ReadLongValue(file_, *row[c]).value_or("");
            values[c] = memoData[c];
        }
    }
    RowKeys keys;
    const KeyOptions options{allowUnverified};
    for (std::size_t r = 0; r < table_.RealIndexes.size(); ++r) {
        const JetRealIndex& index = table_.RealIndexes[r];
        KeyProblem found;
        if (only && !(*only)[r]) {
            keys.Values.emplace_back();
            keys.Uncertain.push_back(false);
            continue;
        }
        keys.Values.push_back(IndexKey(table_, index, values, options, &found));
        keys.Uncertain.push_back(!found.Column.empty());
        if (problem && problem->Column.empty() && !found.Column.empty()) *problem = found;
    }
    return keys;
}

// Keys of a row about to be written; a value that cannot be keyed refuses the row, naming the
// field and the character.
bool TableWriter::NewRowKeys(const StoredRow& row, const std::vector<bool>* memoIsData, Keys& keys,
                             bool& unverified, ErrorState& error,
                             const std::vector<bool>* only) const {
    KeyProblem problem;
    RowKeys found = KeysOf(row, memoIsData, false, &problem, only);
    unverified = false;
    if (!problem.Column.empty() && problem.Unverified && allowUnverifiedKeys_) {
        problem = KeyProblem{};
        found = KeysOf(row, memoIsData, true, &problem, only);
        unverified = true;
    }
    if (!problem.Column.empty()) {
        std::string character;
        AppendUtf8(character, static_cast<uint32_t>(problem.Character));
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(problem.Character));
        const std::string where =
            "テーブル '" + name_ + "' のフィールド '" + problem.Column + "' の値に、";
        if (problem.Unverified) {
            error.Set(JetError::OperationNotSupported,
                      where + "Access の索引キーが確認されていない文字 '" + character + "' (" +
                          code +
                          ") があるため、このレコードは書き込めません。書き込むには、ファイル メ"
                          "ニューの「未確認の索引キーを許可する」(vantrel-run では "
                          "--allow-unverified-keys) を選び、後で Access の「データベースの最適化/"
                          "修復」を実行してください。");
        } else {
            error.Set(JetError::OperationNotSupported,
                      where + "索引キーを作れない文字 '" + character + "' (" + code +
                          ") があるため、このレコードは書き込めません。");
        }
        return false;
    }
    keys = std::move(found.Values);
    return true;
}

// The key of the entry that points at `pointer`, found by walking the index.
std::optional<std::string> TableWriter::KeyOfEntryAt(std::size_t index, uint32_t pointer) const {
    const auto walk = WalkIndexTree(file_, table_.RealIndexes[index], table_.DefinitionPage);
    for (const auto& entry : walk.Entries) {
        if (entry.DataPage == pointer >> 8 && entry.DataRow == (pointer & 0xFF)) return entry.Key;
    }
    return std::nullopt;
}

bool TableWriter::AllKeyColumnsNull(const JetRealIndex& index, const StoredRow& row) const {
    for (const auto& key : index.Columns) {
        for (std::size_t c = 0; c < table_.Columns.size(); ++c) {
            if (table_.Columns[c].Number == key.ColumnNumber && row[c]) return false;
        }
    }
    return true;
}

// The key the related table's index holds for this row's key columns; none when they are all
// Null (a foreign key left empty refers to nothing).
std::optional<std::string> TableWriter::RelatedKey(const Relationship& r, const StoredRow& row,
                                                   bool& unknown) const {
    unknown = false;
    const JetRealIndex& own = table_.RealIndexes[r.OwnIndex];
    const JetRealIndex& other = r.Other.RealIndexes[r.OtherIndex];
    if (AllKeyColumnsNull(own, row)) return std::nullopt;
    std::vector<std::optional<std::string_view>> values(r.Other.Columns.size());
    for (std::size_t k = 0; k < own.Columns.size(); ++k) {
        std::optional<std::string_view> value;
        for (std::size_t c = 0; c < table_.Columns.size(); ++c) {
            if (table_.Columns[c].Number == own.Columns[k].ColumnNumber && row[c]) value = *row[c];
        }
        for (std::size_t c = 0; c < r.Other.Columns.size(); ++c) {
            if (r.Other.Columns[c].Number == other.Columns[k].ColumnNumber) values[c] = value;
        }
    }
    // Lookups take the Windows-style rule for unverified marks: the best guess there is.
    KeyProblem problem;
    auto key = IndexKey(r.Other, other, values, KeyOptions{true}, &problem);
    unknown = !problem.Column.empty();
    return key;
}

bool TableWriter::CheckKeys(const StoredRow& row, const Keys& keys, const RowKeys* old,
                            uint32_t pointer, ErrorState& error) const {
    for (const auto& index : table_.Indexes) {
        const JetRealIndex& real = table_.RealIndexes[index.RealIndex];
        if (index.Type == 0x01 || (real.Flags & 0x08)) {
            for (const auto& key : real.Columns) {
                for (std::size_t c = 0; c < table_.Columns.size(); ++c) {
                    if (table_.Columns[c].Number == key.ColumnNumber && !row[c]) {
                        SetJetError(error, JetError::NullInIndex,
                                    name_ + "." + table_.Columns[c].Name);
                        return false;
                    }
                }
            }
        }
    }
    for (std::size_t r = 0; r < table_.RealIndexes.size(); ++r) {
        const JetRealIndex& real = table_.RealIndexes[r];
        const auto& key = keys[r];
        if (!real.IsUnique() || !key || (old && !old->Uncertain[r] && old->Values[r] == key))
            continue;
        // A unique index holds any number of rows whose key columns are all Null.
        if (AllKeyColumnsNull(real, row)) continue;
        if (IndexContainsKey(file_, real, *key) && !(old && KeyOfEntryAt(r, pointer) == key)) {
            std::string names;
            for (const auto& index : table_.Indexes) {
                if (index.RealIndex == r) names += (names.empty() ? "" : ", ") + index.Name;
            }
            SetJetError(error, JetError::DuplicateKey, name_ + ": " + names);
            return false;
        }
    }
    for (const auto& rel : relationships_) {
        if (!rel.ChildSide || (old && !old->Uncertain[rel.OwnIndex] &&
                               old->Values[rel.OwnIndex] == keys[rel.OwnIndex]))
            continue;
        bool unknown = false;
        const auto parentKey = RelatedKey(rel, row, unknown);
        if (unknown || (parentKey && !IndexContainsKey(file_, rel.Other.RealIndexes[rel.OtherIndex],
                                                       *parentKey))) {
            SetJetError(error, JetError::NeedsRelatedRecord, rel.OtherName);
            return false;
        }
    }
    return true;
}

// A parent row may not go, nor change its key, while rows of a related table point at it.
bool TableWriter::CheckChildrenGone(const StoredRow& row, const RowKeys& keys, const Keys* newKeys,
                                    ErrorState& error) const {
    for (const auto& rel : relationships_) {
        if (rel.ChildSide || (newKeys && !keys.Uncertain[rel.OwnIndex] &&
                              (*newKeys)[rel.OwnIndex] == keys.Values[rel.OwnIndex]))
            continue;
        // A key that cannot be built may have children: refuse rather than orphan them.
        bool unknown = false;
        const auto childKey = RelatedKey(rel, row, unknown);
        if (unknown || (childKey && IndexContainsKey(file_, rel.Other.RealIndexes[rel.OtherIndex],
                                                     *childKey))) {
            SetJetError(error, JetError::HasRelatedRecords, rel.OtherName);
            return false;
        }
    }
    return true;
}

bool TableWriter::UpdateIndexEntries(const RowKeys* old, const Keys* now, uint32_t pointer,
                                     ErrorState& error) {
    const uint32_t page = pointer >> 8;
    const auto row = static_cast<uint8_t>(pointer & 0xFF);
    for (std::size_t r = 0; r < table_.RealIndexes.size(); ++r) {
        const std::optional<std::string> none;
        std::optional<std::string> before = old ? old->Values[r] : none;
        const auto& after = now ? (*now)[r] : none;
        const bool uncertain = old && old->Uncertain[r];
        if (!uncertain && before == after) continue;
        if (uncertain) before = KeyOfEntryAt(r, pointer);
        if (before == after) continue;
        const JetRealIndex& index = table_.RealIndexes[r];
        if ((before && !RemoveIndexEntry(file_, table_, index, *before, page, row, error)) ||
            (after && !InsertIndexEntry(file_, table_, index, *after, page, row, error))) {
            damaged_ = true;
            return false;
        }
    }
    return true;
}

bool TableWriter::Insert(const Changes& values, ErrorState& error) {
    if (damaged_ || !file_.Checkpoint(error)) return false;
    StoredRow row(table_.Columns.size());
    uint32_t autoNumber = table_.AutoNumber;
    for (std::size_t c = 0; c < table_.Columns.size(); ++c) {
        const JetColumn& col = table_.Columns[c];
        if (col.IsAutoNumber()) {
            // A given number is stored, as Access's own append stores it (a unique key refuses a
            // duplicate), and later numbers continue after the largest; otherwise the table
            // gives the next one.
            const bool given = c < values.size() && values[c] && !values[c]->IsNull();
            Value number;
            if (given) {
                if (!ConvertValueToType(FieldTypeOf(col), *values[c], number)) {
                    Fail(error, JetError::ConversionError, name_ + "." + col.Name);
                    return false;
                }
                if (col.Type != JetType::Guid && number.Int() > static_cast<int32_t>(autoNumber))
                    autoNumber = static_cast<uint32_t>(number.Int());
            } else {
                number = col.Type == JetType::Guid
                             ? Value::Guid(RandomGuid())
                             : Value::Integer(static_cast<int32_t>(++autoNumber));
            }
            if (!Encode(c, number, row[c], error)) return false;
            continue;
        }
        std::optional<Value> value = c < values.size() ? values[c] : std::nullopt;
        if (!value) value = DefaultFor(c);
        if (value && !Encode(c, *value, row[c], error)) return false;
        if (col.Type == JetType::Boolean && !row[c]) row[c] = std::string(1, '\0');
    }
    if (!CheckRow(row, error)) return false;
    Keys keys;
    bool unverified = false;
    const std::vector<bool> allData(row.size(), true);
    if (!NewRowKeys(row, &allData, keys, unverified, error) ||
        !CheckKeys(row, keys, nullptr, 0, error))
        return false;
    // Long values stay inline only while the row stays small; the rest go to their pages.
    std::size_t inlineBytes = 0;
    for (std::size_t c = 0; c < row.size(); ++c) {
        if (IsLongValue(table_.Columns[c]) && row[c])
            inlineBytes += std::min(row[c]->size(), kInlineLongValue) + 12;
    }
    if (emptyRowBytes_ == 0) emptyRowBytes_ = PackRow(table_, StoredRow(row.size())).size();
    if (emptyRowBytes_ + inlineBytes > DataPage::kMaxRowSize) {
        SetJetError(error, JetError::RecordTooLarge, name_);
        return false;
    }
    if (!RoomFor(PagesAtMost(&row), error)) return false;
    if (!WriteLongValues(row, error)) return Damage();
    std::string bytes = PackRow(table_, row, 4);
    if (bytes.size() > DataPage::kMaxRowSize) {
        SetJetError(error, JetError::RecordTooLarge, name_);
        return false;
    }
    const uint32_t pointer = storage_.PlaceRow(bytes, error);
    if (pointer == 0) return Damage();
    if (!UpdateIndexEntries(nullptr, &keys, pointer, error)) return false;
    if (unverified) wroteUnverifiedKeys_ = true;
    ++table_.RowCount;
    table_.AutoNumber = autoNumber;
    PutDefinition32(file_, table_, kRowCountAt, table_.RowCount);
    PutDefinition32(file_, table_, kAutoNumberAt, table_.AutoNumber);
    return true;
}

bool TableWriter::Update(uint32_t pointer, const Changes& values, ErrorState& error) {
    if (damaged_ || !file_.Checkpoint(error)) return false;
    const auto home = storage_.RowHome(pointer);
    if (!home) {
        SetJetError(error, JetError::RecordDeleted);
        return false;
    }
    StoredRow row = Read(pointer);
    std::vector<bool> changedLong(row.size(), false), replacedLong(row.size(), false);
    for (std::size_t c = 0; c < table_.Columns.size() && c < values.size(); ++c) {
        const JetColumn& col = table_.Columns[c];
        if (!values[c] || col.IsAutoNumber()) continue;
        replacedLong[c] = IsLongValue(col) && row[c].has_value();
        if (!Encode(c, *values[c], row[c], error)) return false;
        if (col.Type == JetType::Boolean && !row[c]) row[c] = std::string(1, '\0');
        changedLong[c] = IsLongValue(col) && row[c].has_value();
    }
    if (!CheckRow(row, error)) return false;
    const StoredRow before = Read(pointer);
    RowKeys oldKeys = KeysOf(before, nullptr, false, nullptr);
    // Only the indexes whose columns change are keyed again; the others keep their entries,
    // whatever their text holds.
    const std::vector<bool> touched = IndexesTouched(file_, table_, before, row, changedLong);
    Keys keys;
    bool unverified = false;
    if (!NewRowKeys(row, &changedLong, keys, unverified, error, &touched)) return false;
    for (std::size_t r = 0; r < touched.size(); ++r) {
        if (touched[r]) continue;
        keys[r] = oldKeys.Values[r];
        oldKeys.Uncertain[r] = false;
    }
    if (!CheckKeys(row, keys, &oldKeys, pointer, error) ||
        !CheckChildrenGone(before, oldKeys, &keys, error))
        return false;
    if (!RoomFor(PagesAtMost(&row), error)) return false;
    if (unverified) wroteUnverifiedKeys_ = true;
    for (std::size_t c = 0; c < row.size(); ++c) {
        if (!changedLong[c]) continue;
        auto field = storage_.StoreLongValue(c, *row[c], error);
        if (!field) return Damage();
        row[c] = std::move(field);
    }
    std::string bytes = PackRow(table_, row, 4);
    if (bytes.size() > DataPage::kMaxRowSize) {
        SetJetError(error, JetError::RecordTooLarge, name_);
        return false;
    }
    // The row's bytes live at the slot itself, or where its pointer sends them; a longer row
    // moves.
    const std::size_t room = storage_.RowSizeAt(*home);
    if (room > 0 && bytes.size() <= room) {
        storage_.OverwriteRow(*home, PackRow(table_, row, room));
    } else if (!storage_.MoveRow(pointer, *home, bytes, error)) {
        return Damage();
    }
    // The long values the row no longer points at are given back.
    for (std::size_t c = 0; c < row.size(); ++c) {
        if (replacedLong[c]) storage_.FreeLongValue(c, *before[c]);
    }
    return UpdateIndexEntries(&oldKeys, &keys, pointer, error);
}

bool TableWriter::Delete(uint32_t pointer, ErrorState& error) {
    if (damaged_ || !file_.Checkpoint(error)) return false;
    const auto home = storage_.RowHome(pointer);
    if (!home) {
        SetJetError(error, JetError::RecordDeleted);
        return false;
    }
    const StoredRow row = Read(pointer);
    const RowKeys keys = KeysOf(row, nullptr, false, nullptr);
    if (!CheckChildrenGone(row, keys, nullptr, error)) return false;
    if (!RoomFor(PagesAtMost(nullptr), error)) return false;
    if (!UpdateIndexEntries(&keys, nullptr, pointer, error)) return false;
    for (std::size_t c = 0; c < row.size(); ++c) {
        if (IsLongValue(table_.Columns[c]) && row[c]) storage_.FreeLongValue(c, *row[c]);
    }
    storage_.DeleteRow(pointer, *home);
    --table_.RowCount;
    PutDefinition32(file_, table_, kRowCountAt, table_.RowCount);
    return true;
}

uint32_t TableWriter::PagesAtMost(const StoredRow* row) const {
    // Bitmap pages for the file's own map (one a region of the file) and the maps involved.
    constexpr uint32_t kMapPages = 17 + 4;
    // Deeper than the index of any file within the limit.
    constexpr uint32_t kDeepestTree = 8;
    uint32_t pages = kMapPages + 1;
    for (std::size_t c = 0; row && c < row->size(); ++c) {
        if (IsLongValue(table_.Columns[c]) && (*row)[c])
            pages += static_cast<uint32_t>((*row)[c]->size() / kLongValueChunk) + 2;
    }
    return pages + static_cast<uint32_t>(table_.RealIndexes.size()) * (kDeepestTree + 2);
}

bool TableWriter::RoomFor(uint32_t pages, ErrorState& error) {
    if (file_.HasRoomFor(pages)) return true;
    // Refused before anything of the row is written: the file stays whole and consistent.
    SetJetError(error, JetError::DatabaseTooLarge, name_);
    return false;
}

bool TableWriter::Damage() {
    damaged_ = true;
    return false;
}

}  // namespace vantrel::access
