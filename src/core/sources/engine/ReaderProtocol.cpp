#include "sources/engine/ReaderProtocol.h"

#include <algorithm>
#include <cstring>

namespace vantrel::reader {

namespace {

template <typename T>
void AppendRaw(std::string& buffer, T v) {
    char bytes[sizeof(T)];
    std::memcpy(bytes, &v, sizeof(T));
    buffer.append(bytes, sizeof(T));
}

}  // namespace

void Writer::PutInt32(int32_t v) {
    AppendRaw(buffer_, v);
}
void Writer::PutInt64(int64_t v) {
    AppendRaw(buffer_, v);
}
void Writer::PutDouble(double v) {
    AppendRaw(buffer_, v);
}

void Writer::PutString(const std::string& s) {
    AppendRaw(buffer_, static_cast<uint32_t>(s.size()));
    buffer_.append(s);
}

void Writer::PutValue(const Value& v) {
    buffer_.push_back(static_cast<char>(v.kind()));
    switch (v.kind()) {
        case Value::Kind::Null:
            break;
        case Value::Kind::Integer:
        case Value::Kind::Currency:
        case Value::Kind::Boolean:
            PutInt64(v.Int());
            break;
        case Value::Kind::Double:
        case Value::Kind::DateTime:
            PutDouble(v.Dbl());
            break;
        case Value::Kind::Single: {
            // The 32-bit pattern itself, so the value arrives bit for bit.
            const auto single = static_cast<float>(v.Dbl());
            int32_t bits = 0;
            std::memcpy(&bits, &single, sizeof bits);
            PutInt32(bits);
            break;
        }
        default:
            PutString(v.Str());
            break;
    }
}

void Writer::PutField(const FieldInfo& f) {
    Put(Tag::Field);
    PutString(f.Name);
    PutInt32(static_cast<int32_t>(f.Type));
    PutInt32(f.Size);
    buffer_.push_back(f.Required ? 1 : 0);
    buffer_.push_back(f.AllowZeroLength ? 1 : 0);
    buffer_.push_back(f.AutoIncrement ? 1 : 0);
}

bool Parser::GetTag(Tag& tag) {
    char c = 0;
    if (!Read(&c, 1)) return false;
    tag = static_cast<Tag>(c);
    return true;
}

bool Parser::GetInt32(int32_t& v) {
    char bytes[4];
    if (!Read(bytes, 4)) return false;
    std::memcpy(&v, bytes, 4);
    return true;
}

bool Parser::GetInt64(int64_t& v) {
    char bytes[8];
    if (!Read(bytes, 8)) return false;
    std::memcpy(&v, bytes, 8);
    return true;
}

bool Parser::GetDouble(double& v) {
    char bytes[8];
    if (!Read(bytes, 8)) return false;
    std::memcpy(&v, bytes, 8);
    return true;
}

bool Parser::GetString(std::string& s) {
    char bytes[4];
    if (!Read(bytes, 4)) return false;
    uint32_t n = 0;
    std::memcpy(&n, bytes, 4);
    if (n > kMaxWireString) return false;
    // Memory follows the bytes that really arrive: a broken stream may claim any length.
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    s.clear();
    for (std::size_t done = 0; done < n;) {
        const std::size_t piece = std::min<std::size_t>(n - done, kPiece);
        if (done + piece > s.capacity())
            s.reserve(std::min<std::size_t>(n, std::max(done + piece, 2 * s.capacity())));
        s.resize(done + piece);
        if (!Read(s.data() + done, piece)) return false;
        done += piece;
    }
    return true;
}

bool Parser::GetValue(Value& v) {
    char kindByte = 0;
    if (!Read(&kindByte, 1)) return false;
    const auto kind = static_cast<Value::Kind>(kindByte);
    int64_t i = 0;
    double d = 0;
    std::string s;
    switch (kind) {
        case Value::Kind::Null:
            v = Value::Null();
            return true;
        case Value::Kind::Integer:
            if (!GetInt64(i)) return false;
            v = Value::Integer(i);
            return true;
        case Value::Kind::Currency:
            if (!GetInt64(i)) return false;
            v = Value::Currency(i);
            return true;
        case Value::Kind::Boolean:
            if (!GetInt64(i)) return false;
            v = Value::Boolean(i != 0);
            return true;
        case Value::Kind::Double:
            if (!GetDouble(d)) return false;
            v = Value::Double(d);
            return true;
        case Value::Kind::DateTime:
            if (!GetDouble(d)) return false;
            v = Value::DateTime(d);
            return true;
        case Value::Kind::Single: {
            int32_t bits = 0;
            if (!GetInt32(bits)) return false;
            float single = 0;
            std::memcpy(&single, &bits, sizeof single);
            v = Value::Single(single);
            return true;
        }
        case Value::Kind::Text:
            if (!GetString(s)) return false;
            v = Value::Text(std::move(s));
            return true;
        case Value::Kind::Bytes:
            if (!GetString(s)) return false;
            v = Value::Bytes(std::move(s));
            return true;
        case Value::Kind::Guid:
            if (!GetString(s)) return false;
            v = Value::Guid(std::move(s));
            return true;
        case Value::Kind::Decimal:
            if (!GetString(s)) return false;
            v = Value::Decimal(std::move(s));
            return true;
    }
    return false;
}

bool Parser::GetField(FieldInfo& f) {
    int32_t type = 0;
    char flags[3];
    if (!GetString(f.Name) || !GetInt32(type) || !GetInt32(f.Size) || !Read(flags, 3)) return false;
    f.Type = static_cast<FieldType>(type);
    f.Required = flags[0] != 0;
    f.AllowZeroLength = flags[1] != 0;
    f.AutoIncrement = flags[2] != 0;
    return true;
}

}  // namespace vantrel::reader
