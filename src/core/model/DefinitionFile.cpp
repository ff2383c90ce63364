#include "model/DefinitionFile.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <utility>
#include <vector>

#include "common/Encoding.h"
#include "common/SafeFile.h"
#include "common/TextCase.h"
#include "model/DefinitionValues.h"

namespace vantrel {

namespace {

constexpr std::size_t kLabelWidth = 50;
constexpr std::size_t kMaxDefinitionFileBytes = 256u << 20;

// A number followed by its label, padded so number and blanks take 50 characters.
std::string NumberLine(int32_t value, const char* label) {
    const std::string digits = std::to_string(value);
    const std::size_t blanks = digits.size() < kLabelWidth ? kLabelWidth - digits.size() : 0;
    return digits + ",\"" + std::string(blanks, ' ') + label + "\"\r\n";
}

// The sizes a file may announce without being taken for a damaged one.
bool SizesAreReadable(int32_t tableMax, int32_t fieldMax) {
    return tableMax >= 0 && fieldMax >= 0 && tableMax <= kMaxDefinitionTables &&
           fieldMax <= kMaxDefinitionFields &&
           (int64_t{tableMax} + 1) * (int64_t{fieldMax} + 1) <= kMaxDefinitionPositions;
}

// What the header of a written file announces, always in line with the lines that follow it:
// the pairs that exist, each with the field lines written for it, and room for all of them.
struct WrittenSizes {
    int32_t TableMax = 0;
    int32_t Pairs = 0;
    int32_t FieldMax = 0;
    std::vector<int32_t> FieldLines;  // per pair, index 0 unused
};

WrittenSizes SizesToWrite(const ImportDefinition& def) {
    WrittenSizes sizes;
    sizes.Pairs = def.UsableTableCount();
    sizes.FieldLines.assign(static_cast<std::size_t>(sizes.Pairs) + 1, 0);
    int32_t neededFields = 0;
    for (int32_t t = 1; t <= sizes.Pairs; ++t) {
        const int32_t lines = std::clamp(def.Table(t).FieldCount, 0, def.FieldPairs.FieldBound());
        sizes.FieldLines[static_cast<std::size_t>(t)] = lines;
        neededFields = std::max(neededFields, lines);
    }
    sizes.TableMax = std::max(def.TableMax, sizes.Pairs);
    sizes.FieldMax = std::max(def.FieldMax, neededFields);
    // Room beyond what the lines need is given up rather than announced past what the reader
    // accepts; the catalog sizes it anew from the output database when the file is opened.
    if (!SizesAreReadable(sizes.TableMax, sizes.FieldMax)) {
        sizes.TableMax = sizes.Pairs;
        sizes.FieldMax = neededFields;
    }
    return sizes;
}

void AppendTableLine(std::string& out, const TableSetting& s, int32_t fieldCount) {
    out += std::to_string(s.FieldSlot) + "," + QuotedValue(s.OutTable) + "," +
           QuotedValue(s.InTable) + "," + std::to_string(fieldCount) + "," +
           std::to_string(s.HeaderAsData) + "," + QuotedValue(s.SkipRows) + "," +
           std::to_string(s.WriteMode) + "," + std::to_string(s.HeaderRow) + "," +
           QuotedValue(s.Delimiter) + "\r\n";
}

// Reads values into the model, turning every failure into the pending error.
class DefinitionParser {
  public:
    DefinitionParser(std::string_view text, ErrorState& error) : values_(text), error_(error) {}

    bool Text(std::string& target) {
        std::string v;
        if (!Take(v)) return false;
        target = std::move(v);
        return true;
    }

    bool Number(int32_t& target) {
        std::string v;
        if (!Take(v)) return false;
        std::string_view s = v;
        while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
            s.remove_suffix(1);
        if (!s.empty() && s.front() == '+') s.remove_prefix(1);
        int32_t n = 0;
        const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
        if (s.empty() || ptr != s.data() + s.size() ||
            (ec != std::errc{} && ec != std::errc::result_out_of_range)) {
            return Fail(RuntimeError::TypeMismatch);
        }
        if (ec == std::errc::result_out_of_range) return Fail(RuntimeError::Overflow);
        target = n;
        return true;
    }

    bool Boolean(bool& target) {
        std::string v;
        if (!Take(v)) return false;
        std::string upper = v;
        while (!upper.empty() && (upper.back() == ' ' || upper.back() == '\t'))
            upper.pop_back();
        std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) {
            return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        });
        if (upper == "#TRUE#") {
            target = true;
        } else if (upper == "#FALSE#") {
            target = false;
        } else {
            return Fail(RuntimeError::TypeMismatch);
        }
        return true;
    }

    bool Skip() {
        std::string v;
        return Take(v);
    }

    bool Fail(int32_t number, const std::string& detail = {}) {
        error_.Set(number, detail + RuntimeError::Description(number));
        return false;
    }

  private:
    bool Take(std::string& v) {
        if (values_.Next(v)) return true;
        return Fail(RuntimeError::InputPastEndOfFile);
    }

    DefinitionValueReader values_;
    ErrorState& error_;
};

// Names a pair in a message: its position and its two tables.
std::string PairLabel(int32_t t, const TableSetting& s) {
    return "定義ファイルの " + std::to_string(t) + " 番目のテーブル「" + s.OutTable + "」(入力「" +
           s.InTable + "」)";
}

// Values a pair line holds that no part of the program can use; reading goes on past them.
void NoteUnusableValues(int32_t t, const TableSetting& s, std::vector<std::string>& notes) {
    if (s.WriteMode < WriteMode::New || s.WriteMode > WriteMode::Update) {
        notes.push_back(PairLabel(t, s) + " の書き込み方法 (" + std::to_string(s.WriteMode) +
                        ") が不正です。0 (新規)、1 (追加)、2 (更新) のどれかにして下さい。");
    }
    if (s.HeaderRow < 0) {
        notes.push_back(PairLabel(t, s) + " の見出し行 (" + std::to_string(s.HeaderRow) +
                        ") が不正です。0 (見出しなし) か 1 以上の行番号にして下さい。");
    }
}

std::string DecodeDefinitionBytes(std::string_view bytes) {
    if (bytes.substr(0, kUtf8Bom.size()) != kUtf8Bom) return Cp932ToUtf8(bytes);
    TextDecoder decoder(TextEncoding::Utf8);
    std::string text;
    decoder.Decode(bytes.substr(kUtf8Bom.size()), text, true);
    return text;
}

// Reads every value after the file has been decoded. Leaves the pending error on failure;
// values read but unusable are described in `notes`.
bool ParseDefinition(std::string_view text, ImportDefinition& def, ErrorState& error,
                     std::vector<std::string>& notes) {
    DefinitionParser p(text, error);
    int32_t tableMax = 0, fieldMax = 0;
    if (!p.Number(def.FileVersion) || !p.Skip()) return false;
    if (!p.Text(def.OutputPath) || !p.Skip()) return false;
    if (!p.Text(def.InputPath) || !p.Skip()) return false;
    if (!p.Number(tableMax) || !p.Skip()) return false;
    if (!p.Number(def.TableCount) || !p.Skip()) return false;
    if (!p.Number(fieldMax) || !p.Skip()) return false;
    if (!p.Boolean(def.BackupFlag) || !p.Skip()) return false;

    if (def.TableCount < 0) {
        const int32_t count = std::exchange(def.TableCount, 0);
        return p.Fail(RuntimeError::SubscriptOutOfRange,
                      "定義ファイルのテーブル数 (" + std::to_string(count) + ") が不正です。");
    }
    if (!SizesAreReadable(tableMax, fieldMax)) {
        def.TableCount = 0;
        return p.Fail(RuntimeError::OutOfMemory, "定義ファイルのテーブル最大数 (" +
                                                     std::to_string(tableMax) +
                                                     ") またはフィールド最大数 (" +
                                                     std::to_string(fieldMax) + ") が不正です。");
    }
    def.Allocate(tableMax, fieldMax);

    for (int32_t t = 1; t <= def.TableCount; ++t) {
        if (t > def.TableMax) return p.Fail(RuntimeError::SubscriptOutOfRange);
        TableSetting& s = def.Table(t);
        if (!p.Number(s.FieldSlot) || !p.Text(s.OutTable) || !p.Text(s.InTable) ||
            !p.Number(s.FieldCount) || !p.Number(s.HeaderAsData) || !p.Text(s.SkipRows) ||
            !p.Number(s.WriteMode) || !p.Number(s.HeaderRow) || !p.Text(s.Delimiter)) {
            return false;
        }
        if (s.FieldCount < 0) {
            s.FieldCount = 0;
            return p.Fail(RuntimeError::SubscriptOutOfRange);
        }
        NoteUnusableValues(t, s, notes);
        for (int32_t j = 1; j <= s.FieldCount; ++j) {
            if (j > def.FieldMax) return p.Fail(RuntimeError::SubscriptOutOfRange);
            FieldPair& f = def.FieldPairs(t, j);
            if (!p.Text(f.OutField) || !p.Text(f.InField)) return false;
        }
    }
    return true;
}

// A text input's table is saved by older definitions as the whole file name (customers.csv);
// it becomes the name the catalog gives the file (customers), so that choosing the same file
// again keeps the pairs.
void UseCatalogTextTableNames(ImportDefinition& def) {
    const std::size_t dot = def.InputPath.rfind('.');
    if (dot == std::string::npos) return;
    const std::string extension = LowerCase(std::string_view(def.InputPath).substr(dot + 1));
    if (extension != "csv" && extension != "txt") return;
    for (int32_t t = 1; t <= def.UsableTableCount(); ++t) {
        std::string& table = def.Table(t).InTable;
        table = TextTableName(table);
    }
}

// The first line of `text` that does not come back unchanged when `bytes`, its encoded form,
// is read as a definition file; empty when everything does.
std::string LineNotReadBack(const std::string& text, const std::string& bytes) {
    ImportDefinition back;
    ErrorState error;
    std::vector<std::string> notes;
    ParseDefinition(DecodeDefinitionBytes(bytes), back, error, notes);
    const std::string again = FormatDefinitionText(back);
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i >= again.size() || text[i] != again[i]) {
            const std::size_t lineEnd = text.find("\r\n", i);
            return text.substr(
                lineStart, lineEnd == std::string::npos ? std::string::npos : lineEnd - lineStart);
        }
        if (text[i] == '\n') lineStart = i + 1;
    }
    return again.size() == text.size() ? std::string{} : again.substr(text.size());
}

}  // namespace

std::string FormatDefinitionText(const ImportDefinition& def) {
    const WrittenSizes sizes = SizesToWrite(def);
    std::string out;
    out += NumberLine(def.FileVersion, "# バージョン");
    out += QuotedValue(def.OutputPath) + ",\"# 出力ファイルパス\"\r\n";
    out += QuotedValue(def.InputPath) + ",\"# 入力ファイルパス\"\r\n";
    out += NumberLine(sizes.TableMax, "# テーブル最大数");
    out += NumberLine(sizes.Pairs, "# テーブル数");
    out += NumberLine(sizes.FieldMax, "# フィールド最大数");
    out +=
        def.BackupFlag ? "#TRUE#,\"" + std::string(44, ' ') : "#FALSE#,\"" + std::string(42, ' ');
    out += "# バックアップを取る\"\r\n";
    for (int32_t t = 1; t <= sizes.Pairs; ++t) {
        const int32_t fields = sizes.FieldLines[static_cast<std::size_t>(t)];
        AppendTableLine(out, def.Table(t), fields);
        for (int32_t j = 1; j <= fields; ++j) {
            const FieldPair& f = def.FieldPairs(t, j);
            out += QuotedValue(f.OutField) + "," + QuotedValue(f.InField) + "\r\n";
        }
    }
    return out;
}

std::string EncodeDefinitionText(const std::string& utf8Text, bool* usedUtf8) {
    std::string cp932;
    if (Utf8ToCp932(utf8Text, cp932)) {
        if (usedUtf8) *usedUtf8 = false;
        return cp932;
    }
    if (usedUtf8) *usedUtf8 = true;
    return std::string(kUtf8Bom) + utf8Text;
}

bool SaveDefinitionFile(const std::string& path, ImportDefinition& def, int32_t nowVer,
                        ErrorLog& log) {
    const int32_t pairs = def.UsableTableCount();
    for (int32_t t = 1; t <= pairs; ++t) {
        int32_t count = 0;
        for (int32_t j = 1; j <= def.FieldPairs.FieldBound(); ++j) {
            if (!def.FieldPairs(t, j).OutField.empty()) ++count;
        }
        def.Table(t).FieldCount = count;
    }
    def.FileVersion = nowVer;
    const std::string text = FormatDefinitionText(def);
    const std::string bytes = EncodeDefinitionText(text);
    // Success is reported only for a file that reopens with exactly what was saved.
    const std::string unreadable = LineNotReadBack(text, bytes);
    if (!unreadable.empty()) {
        log.AddErrorLine(
            "ｲﾝﾎﾟｰﾄ方法を保存できませんでした。次の行を保存したとおりに読み戻せません: " +
            unreadable);
        return false;
    }
    ErrorState error;
    if (!WriteFileAtomically(path, bytes, error)) {
        log.AddErrorLine("ｲﾝﾎﾟｰﾄ方法を保存できませんでした。" + error.WithNumber());
        return false;
    }
    def.Modified = false;
    return true;
}

bool ReadDefinitionFile(const std::string& path, ImportDefinition& def, ErrorLog& log) {
    std::string bytes;
    ErrorState& error = log.Pending;
    if (!ReadWholeFile(path, bytes, error, kMaxDefinitionFileBytes)) {
        log.AddErrorLine(error.WithNumber());
        return false;
    }
    const std::string text = DecodeDefinitionBytes(bytes);
    bytes.clear();
    std::vector<std::string> notes;
    const bool read = ParseDefinition(text, def, error, notes);
    UseCatalogTextTableNames(def);
    const std::string failure = read ? std::string{} : error.WithNumber();
    for (const std::string& note : notes)
        log.AddErrorLine(note);
    if (read) return notes.empty();
    // Keep what was read, but never let the counts point past the arrays.
    def.TableCount = def.UsableTableCount();
    for (int32_t t = 1; t <= def.TableCount; ++t) {
        def.Table(t).FieldCount = std::clamp(def.Table(t).FieldCount, 0, def.FieldMax);
    }
    log.AddErrorLine(failure);
    return false;
}

}  // namespace vantrel
