#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

// A 1-based list of table or field names: position 0 exists and stays empty.
class NameList {
  public:
    int32_t Count() const { return static_cast<int32_t>(names_.size()) - 1; }
    bool Empty() const { return names_.size() == 1; }
    void Clear() { names_.assign(1, std::string{}); }
    void Append(std::string name) { names_.push_back(std::move(name)); }
    const std::string& operator[](int32_t i) const { return names_[static_cast<std::size_t>(i)]; }
    // True when some position 1..Count holds exactly `name`.
    bool Contains(const std::string& name) const;
    // Names 1..Count in order.
    std::vector<std::string> ToVector() const { return {names_.begin() + 1, names_.end()}; }

    static NameList From(const std::vector<std::string>& names);

  private:
    std::vector<std::string> names_ = std::vector<std::string>(1);
};

inline bool NameList::Contains(const std::string& name) const {
    for (std::size_t i = 1; i < names_.size(); ++i) {
        if (names_[i] == name) return true;
    }
    return false;
}

inline NameList NameList::From(const std::vector<std::string>& names) {
    NameList list;
    for (const auto& n : names)
        list.Append(n);
    return list;
}

}  // namespace vantrel
