#include "sources/engine/Engine.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "common/TextCase.h"
#include "sources/engine/Backends.h"
#include "sources/engine/JetErrors.h"
#include "sources/engine/TextConversion.h"

namespace vantrel {

namespace {

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           LowerCase(text.substr(0, prefix.size())) == LowerCase(prefix);
}

// False (with 3024, 3044 or 3051 set) when there is no readable file at `path`.
bool CheckReadableFile(const std::string& path, ErrorState& error) {
    if (path.empty()) {
        SetJetError(error, JetError::InvalidPath, path);
        return false;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const std::filesystem::path parent = std::filesystem::path(path).parent_path();
        std::error_code ec;
        const bool folderExists = parent.empty() || std::filesystem::is_directory(parent, ec);
        SetJetError(error, folderExists ? JetError::FileNotFound : JetError::InvalidPath, path);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        SetJetError(error, JetError::InvalidPath, path);
        return false;
    }
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        SetJetError(error, JetError::CannotOpenFile, path);
        return false;
    }
    std::fclose(f);
    return true;
}

}  // namespace

DatabaseFormat DetectDatabaseFormat(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return DatabaseFormat::Unknown;
    unsigned char head[32] = {};
    const std::size_t n = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    if (n >= 16 && std::memcmp(head, "SQLite format 3\0", 16) == 0) return DatabaseFormat::Sqlite;
    if (n >= 8 && std::memcmp(head, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) == 0)
        return DatabaseFormat::ExcelWorkbook;
    if (n >= 4 &&
        (std::memcmp(head, "PK\x03\x04", 4) == 0 || std::memcmp(head, "PK\x05\x06", 4) == 0))
        return DatabaseFormat::ExcelPackage;
    if (n >= 24 && std::memcmp(head, "\x00\x01\x00\x00", 4) == 0) {
        const bool jet = std::memcmp(head + 4, "Standard Jet DB\0", 16) == 0;
        const bool ace = std::memcmp(head + 4, "Standard ACE DB\0", 16) == 0;
        if (ace) return DatabaseFormat::Ace;
        if (jet) return head[20] == 0 ? DatabaseFormat::Jet3 : DatabaseFormat::Jet4;
    }
    return DatabaseFormat::Unknown;
}

std::unique_ptr<Database> Engine::OpenDatabase(const std::string& path, int32_t /*options*/,
                                               bool readOnly, const std::string& connect) {
    if (!CheckReadableFile(path, error_)) return nullptr;
    const DatabaseFormat format = DetectDatabaseFormat(path);
    const bool excel = StartsWithIgnoringCase(connect, "Excel");
    if (excel) {
        if (format != DatabaseFormat::ExcelWorkbook && format != DatabaseFormat::ExcelPackage) {
            SetJetError(error_, JetError::ExternalTableFormat, path);
            return nullptr;
        }
        if (!readOnly) {
            SetJetError(error_, JetError::ReadOnly, path);
            return nullptr;
        }
        return backends::OpenExcel(path, error_);
    }
    switch (format) {
        case DatabaseFormat::Sqlite:
            return backends::OpenSqlite(path, readOnly, error_);
        case DatabaseFormat::Jet3:
            if (!readOnly) {
                // A clause: the import log frames it with "ため、インポートできませんでした".
                error_.Set(JetError::ReadOnly,
                           "データベース '" + path +
                               "' が Access 97 形式である (Access 2000 以降の形式に変換すれば"
                               "書き込める)");
                return nullptr;
            }
            return backends::OpenAccess(path, error_);
        case DatabaseFormat::Jet4:
        case DatabaseFormat::Ace: {
            if (readOnly) return backends::OpenAccess(path, error_);
            // Reading it first finds passwords, encryption and damage before anything changes.
            auto check = backends::OpenAccess(path, error_);
            if (!check) return nullptr;
            check->Close();
            return backends::OpenAccessForChanges(path, format == DatabaseFormat::Ace,
                                                  accessOptions_, error_);
        }
        default:
            SetJetError(error_, JetError::UnrecognizedFormat, path);
            return nullptr;
    }
}

std::unique_ptr<Database> Engine::CreateDatabase(const std::string& path,
                                                 const std::string& /*locale*/) {
    if (path.empty()) {
        SetJetError(error_, JetError::InvalidPath, path);
        return nullptr;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        // Access refuses to create over an existing file.
        SetJetError(error_, JetError::DatabaseExists, path);
        return nullptr;
    }
    return backends::CreateSqlite(path, error_);
}

bool Recordset::ValidIndex(int32_t index) const {
    if (index >= 0 && index < FieldCount()) return true;
    SetJetError(error_, JetError::ItemNotFound, std::to_string(index));
    return false;
}

bool Recordset::ConvertForField(int32_t index, Value value, const std::string& table,
                                Value& out) const {
    const FieldInfo& f = fields_[static_cast<std::size_t>(index)];
    if (value.kind() == Value::Kind::Text &&
        (f.Type == FieldType::Text || f.Type == FieldType::Memo)) {
        out = std::move(value);
    } else if (!ConvertValueToType(f.Type, value, out)) {
        SetJetError(error_, JetError::ConversionError, table + "." + f.Name);
        return false;
    }
    if (f.Type == FieldType::Text && f.Size > 0 && out.kind() == Value::Kind::Text &&
        Utf16Length(out.Str()) > static_cast<std::size_t>(f.Size)) {
        SetJetError(error_, JetError::FieldTooSmall, table + "." + f.Name);
        return false;
    }
    return true;
}

const FieldInfo& Recordset::Field(int32_t index) const {
    static const FieldInfo kNone;
    return ValidIndex(index) ? fields_[static_cast<std::size_t>(index)] : kNone;
}

int32_t Recordset::FieldIndex(std::string_view name) const {
    const std::string wanted = LowerCase(name);
    for (int32_t i = 0; i < FieldCount(); ++i) {
        if (LowerCase(Field(i).Name) == wanted) return i;
    }
    SetJetError(error_, JetError::ItemNotFound, std::string(name));
    return -1;
}

const Value& Recordset::GetValue(std::string_view name) const {
    static const Value kNull;
    const int32_t i = FieldIndex(name);
    return i < 0 ? kNull : GetValue(i);
}

void Recordset::SetValue(std::string_view name, Value value) {
    const int32_t i = FieldIndex(name);
    if (i >= 0) SetValue(i, std::move(value));
}

}  // namespace vantrel
