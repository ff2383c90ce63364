#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sources/engine/Engine.h"
#include "sources/engine/Value.h"

// The stream vantrel-reader writes to its standard output: Access databases and Excel workbooks
// are parsed in that separate process, so a damaged file that makes a parsing library crash,
// loop or exhaust memory costs the child, never the program.
namespace vantrel::reader {

enum class Tag : uint8_t {
    Table = 'T',     // name, attributes
    Field = 'F',     // name, type, size, required, allowZeroLength, autoIncrement
    RowCount = 'N',  // int64
    Row = 'R',       // one value per field
    End = 'E',       // error number (0 = complete), name the error message names
    Detail = 'D',    // before End: a sentence added to the error's description
};

// Appends wire-format pieces to a buffer.
class Writer {
  public:
    void Put(Tag tag) { buffer_.push_back(static_cast<char>(tag)); }
    void PutInt32(int32_t v);
    void PutInt64(int64_t v);
    void PutDouble(double v);
    void PutString(const std::string& s);
    void PutValue(const Value& v);
    void PutField(const FieldInfo& f);

    std::string& Buffer() { return buffer_; }

  private:
    std::string buffer_;
};

// Reads wire-format pieces from a byte source; every getter returns false once the stream ends
// early or holds nonsense.
class Parser {
  public:
    virtual ~Parser() = default;
    bool GetTag(Tag& tag);
    bool GetInt32(int32_t& v);
    bool GetInt64(int64_t& v);
    bool GetDouble(double& v);
    bool GetString(std::string& s);
    bool GetValue(Value& v);
    bool GetField(FieldInfo& f);

  protected:
    // Fills exactly n bytes; false at the end of the stream.
    virtual bool Read(char* out, std::size_t n) = 0;
};

// Longest text or byte value the stream carries (larger means a broken stream).
inline constexpr uint32_t kMaxWireString = 1u << 30;

}  // namespace vantrel::reader
