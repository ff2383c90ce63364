#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace vantrel::reader {

// Little-endian reads from a byte string that may end anywhere: past the end reads as 0.
class Bytes {
  public:
    explicit Bytes(const std::string& data) : data_(data) {}
    bool Has(std::size_t at, std::size_t n) const {
        return at <= data_.size() && n <= data_.size() - at;
    }
    uint8_t U8(std::size_t at) const { return Has(at, 1) ? static_cast<uint8_t>(data_[at]) : 0; }
    uint16_t U16(std::size_t at) const { return static_cast<uint16_t>(U8(at) | U8(at + 1) << 8); }
    uint32_t U32(std::size_t at) const { return uint32_t{U16(at)} | uint32_t{U16(at + 2)} << 16; }
    const std::string& Data() const { return data_; }

  private:
    const std::string& data_;
};

// The streams of a compound file (the OLE container of .xls workbooks and of password-protected
// .xlsx packages). Every offset is checked, since the file may be damaged.
class CompoundFile {
  public:
    explicit CompoundFile(const std::string& file) : file_(file), bytes_(file) {}

    // False when the bytes are no compound file.
    bool Open();
    // The stream with one of the given names ("Workbook", "Book"); empty when there is none.
    std::string Stream(std::initializer_list<const char*> names) const;
    bool HasStream(const char* name) const;

  private:
    std::size_t Offset(uint32_t sector) const { return (std::size_t{sector} + 1) * sector_; }
    std::string Chain(uint32_t start, const std::vector<uint32_t>& table, bool mini,
                      std::size_t size) const;
    // The directory entry of the stream with this name, or SIZE_MAX.
    std::size_t Entry(const char* name) const;

    const std::string& file_;
    Bytes bytes_;
    std::size_t sector_ = 512;
    uint32_t miniCutoff_ = 4096;
    std::vector<uint32_t> fat_, miniFat_;
    mutable bool looped_ = false;  // a chain met a sector twice: the file is damaged
    std::string directory_, miniStream_;
};

// The whole file; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// A password-protected Office Open XML workbook: a compound file holding the encrypted package.
bool IsEncryptedPackage(const std::string& path);

}  // namespace vantrel::reader
