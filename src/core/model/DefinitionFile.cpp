#include "model/DefinitionFile.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "common/Encoding.h"
#include "common/SafeFile.h"

namespace vantrel {

namespace {

constexpr std::size_t kLabelWidth = 50;
constexpr std::size_t kMaxDefinitionFileBytes = 256u << 20;

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// A number followed by its label, padded so number and blanks take 50 characters.
std::string NumberLine(int32_t value, const char* label) {
    const std::string digits = std::to_string(value);
    const std::size_t blanks = digits.size() < kLabelWidth ? kLabelWidth - digits.size() : 0;
    return digits + ",\"" + std::string(blanks, ' ') + label + "\"\r\n";
}

void AppendTableLine(std::string& out, const TableSetting& s) {
    out += std::to_string(s.FieldSlot) + "," + Quoted(s.OutTable) + "," + Quoted(s.InTable) + "," +
           std::to_string(s.FieldCount) + "," + std::to_string(s.HeaderAsData) + "," +
           Quoted(s.SkipRows) + "," + std::to_string(s.WriteMode) + "," +
           std::to_string(s.HeaderRow) + "," + Quoted(s.Delimiter) + "\r\n";
}

// Takes the values of a definition file one after another, regardless of how they are spread
// over lines.
class ValueReader {
  public:
    explicit ValueReader(std::string_view text) : text_(text) {}

    // Next raw value; false at the end of the file.
    bool Next(std::string& value) {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t'))
            ++pos_;
        if (pos_ >= text_.size()) return false;
        value.clear();
        if (text_[pos_] == '"') {
            const std::size_t close = text_.find('"', pos_ + 1);
            const std::size_t end = close == std::string_view::npos ? text_.size() : close;
            value.assign(text_.substr(pos_ + 1, end - pos_ - 1));
            pos_ = std::min(end + 1, text_.size());
            // Anything between the closing quote and the separator is dropped.
            while (pos_ < text_.size() && !IsSeparator(text_[pos_]))
                ++pos_;
        } else {
            const std::size_t start = pos_;
            while (pos_ < text_.size() && !IsSeparator(text_[pos_]))
                ++pos_;
            value.assign(text_.substr(start, pos_ - start));
        }
        SkipSeparator();
        return true;
    }

  private:
    static bool IsSeparator(char c) { return c == ',' || c == '\r' || c == '\n'; }

    void SkipSeparator() {
        if (pos_ >= text_.size()) return;
        if (text_[pos_] == '\r') {
            ++pos_;
            if (pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
        } else {
            ++pos_;
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

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
        error_.Set(number, detail.empty() ? RuntimeError::Description(number)
                                          : detail + RuntimeError::Description(number));
        return false;
    }

  private:
    bool Take(std::string& v) {
        if (values_.Next(v)) return true;
        return Fail(RuntimeError::InputPastEndOfFile);
    }

    ValueReader values_;
    ErrorState& error_;
};

bool DecodeDefinitionBytes(const std::string& bytes, std::string& text) {
    if (bytes.compare(0, kUtf8Bom.size(), kUtf8Bom) == 0) {
        TextDecoder decoder(TextEncoding::Utf8);
        text.clear();
        decoder.Decode(std::string_view(bytes).substr(kUtf8Bom.size()), text, true);
    } else {
        text = Cp932ToUtf8(bytes);
    }
    return true;
}

// Reads every value after the file has been decoded. Leaves the pending error on failure.
bool ParseDefinition(std::string_view text, ImportDefinition& def, ErrorState& error) {
    DefinitionParser p(text, error);
    int32_t tableMax = 0, fieldMax = 0;
    if (!p.Number(def.FileVersion) || !p.Skip()) return false;
    if (!p.Text(def.OutputPath) || !p.Skip()) return false;
    if (!p.Text(def.InputPath) || !p.Skip()) return false;
    if (!p.Number(tableMax) || !p.Skip()) return false;
    if (!p.Number(def.TableCount) || !p.Skip()) return false;
    if (!p.Number(fieldMax) || !p.Skip()) return false;
    if (!p.Boolean(def.BackupFlag) || !p.Skip()) return false;

    const int64_t positions = (int64_t{tableMax} + 1) * (int64_t{fieldMax} + 1);
    if (tableMax < 0 || fieldMax < 0 || def.TableCount < 0 || positions > kMaxDefinitionPositions) {
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
        for (int32_t j = 1; j <= s.FieldCount; ++j) {
            if (j > def.FieldMax) return p.Fail(RuntimeError::SubscriptOutOfRange);
            FieldPair& f = def.FieldPairs(t, j);
            if (!p.Text(f.OutField) || !p.Text(f.InField)) return false;
        }
    }
    return true;
}

}  // namespace

std::string FormatDefinitionText(const ImportDefinition& def) {
    std::string out;
    out += NumberLine(def.FileVersion, "# バージョン");
    out += Quoted(def.OutputPath) + ",\"# 出力ファイルパス\"\r\n";
    out += Quoted(def.InputPath) + ",\"# 入力ファイルパス\"\r\n";
    out += NumberLine(def.TableMax, "# テーブル最大数");
    out += NumberLine(def.TableCount, "# テーブル数");
    out += NumberLine(def.FieldMax, "# フィールド最大数");
    out +=
        def.BackupFlag ? "#TRUE#,\"" + std::string(44, ' ') : "#FALSE#,\"" + std::string(42, ' ');
    out += "# バックアップを取る\"\r\n";
    const int32_t pairs = def.UsableTableCount();
    for (int32_t t = 1; t <= pairs; ++t) {
        const TableSetting& s = def.Table(t);
        AppendTableLine(out, s);
        const int32_t fields = std::min(s.FieldCount, def.FieldPairs.FieldBound());
        for (int32_t j = 1; j <= fields; ++j) {
            const FieldPair& f = def.FieldPairs(t, j);
            out += Quoted(f.OutField) + "," + Quoted(f.InField) + "\r\n";
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
    ErrorState error;
    if (!WriteFileAtomically(path, EncodeDefinitionText(FormatDefinitionText(def)), error)) {
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
    std::string text;
    DecodeDefinitionBytes(bytes, text);
    bytes.clear();
    if (ParseDefinition(text, def, error)) return true;
    // Keep what was read, but never let the counts point past the arrays.
    def.TableCount = def.UsableTableCount();
    for (int32_t t = 1; t <= def.TableCount; ++t) {
        def.Table(t).FieldCount = std::clamp(def.Table(t).FieldCount, 0, def.FieldMax);
    }
    log.AddErrorLine(error.WithNumber());
    return false;
}

}  // namespace vantrel
