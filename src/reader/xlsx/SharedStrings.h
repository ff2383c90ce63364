#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::xlsx {

// The workbook's shared strings, held in one buffer: a million strings cost their text and four
// bytes each.
class SharedStrings {
  public:
    void Add(std::string_view text) {
        text_.append(text);
        ends_.push_back(static_cast<uint32_t>(text_.size()));
    }
    std::size_t Count() const { return ends_.size(); }
    std::string_view Get(std::size_t i) const {
        const uint32_t begin = i == 0 ? 0 : ends_[i - 1];
        return std::string_view(text_).substr(begin, ends_[i] - begin);
    }
    // The buffer's bound: offsets are 32-bit.
    static constexpr std::size_t kMaxBytes = UINT32_MAX;
    std::size_t Bytes() const { return text_.size(); }

  private:
    std::string text_;
    std::vector<uint32_t> ends_;
};

}  // namespace vantrel::xlsx
