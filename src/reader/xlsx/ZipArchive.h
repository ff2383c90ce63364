#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

struct zip;

namespace vantrel::xlsx {

// How reading an archive entry ended.
enum class ZipStatus { Ok, Missing, Encrypted, TooLarge, Damaged, Stopped };

// A zip container opened read-only from a file or from bytes in memory. Entries are inflated in
// pieces, never whole, and no entry may inflate past the bound its reader gives.
class ZipArchive {
  public:
    ZipArchive() = default;
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // False when the bytes are no zip archive (or the file cannot be read).
    bool OpenFile(const std::string& path);
    bool OpenBytes(std::string bytes);

    // Names compare without regard to ASCII case, as package part names do.
    bool Has(const std::string& name) const;

    // Hands the inflated bytes of entry `name` to `sink` piece by piece. Ends with TooLarge as
    // soon as more than `limit` bytes come out (or the archive says they would), Damaged when
    // the data are broken or inflate past the size the archive states, Stopped when `sink`
    // returns false.
    using Sink = std::function<bool(std::string_view piece)>;
    ZipStatus Read(const std::string& name, uint64_t limit, const Sink& sink) const;

  private:
    int64_t Locate(const std::string& name) const;

    zip* archive_ = nullptr;
    std::string bytes_;  // the archive itself when opened from memory
};

}  // namespace vantrel::xlsx
