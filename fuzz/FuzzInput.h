#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Helpers shared by the fuzz targets: the parsers under test read files, so each input is written
// to a private folder first (in memory where the system offers it).
namespace vantrel::fuzz {

// The folder for this process's input files, created on first use and removed at exit.
const std::string& ScratchFolder();

// Writes `bytes` to `name` inside the scratch folder and returns its path.
std::string WriteInput(const std::string& name, std::string_view bytes);
std::string ReadFile(const std::string& path);

inline std::string_view AsView(const uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Takes bytes from the front of an input: a small structured reader for targets whose input
// carries a selector or patch list before the payload.
class InputCursor {
  public:
    explicit InputCursor(std::string_view bytes) : rest_(bytes) {}
    bool Empty() const { return rest_.empty(); }
    uint8_t Byte() {
        if (rest_.empty()) return 0;
        const auto b = static_cast<uint8_t>(rest_.front());
        rest_.remove_prefix(1);
        return b;
    }
    uint32_t Uint(int bytes) {
        uint32_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= static_cast<uint32_t>(Byte()) << (8 * i);
        return v;
    }
    std::string_view Take(std::size_t n) {
        n = n < rest_.size() ? n : rest_.size();
        const auto piece = rest_.substr(0, n);
        rest_.remove_prefix(n);
        return piece;
    }
    std::string_view Rest() const { return rest_; }

  private:
    std::string_view rest_;
};

}  // namespace vantrel::fuzz

// A target's check failed: prints why and aborts, so both libFuzzer and the replay report it.
#define FUZZ_CHECK(condition, what) \
    ((condition) ? static_cast<void>(0) : ::vantrel::fuzz::Fail(__FILE__, __LINE__, what))

namespace vantrel::fuzz {
[[noreturn]] void Fail(const char* file, int line, const std::string& what);
}
