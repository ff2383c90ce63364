#include "model/ErrorLog.h"

namespace vantrel {

namespace {

// 3999 as "3,999", the way counts read in Japanese business text.
std::string Grouped(int64_t n) {
    std::string digits = std::to_string(n);
    for (int pos = static_cast<int>(digits.size()) - 3; pos > 0; pos -= 3) {
        digits.insert(static_cast<std::size_t>(pos), ",");
    }
    return digits;
}

}  // namespace

void ErrorLog::AddErrorLine(const std::string& message) {
    const auto [it, added] = index_.emplace(message, lines_.size());
    if (added) {
        lines_.push_back(message);
        info_.push_back(LineInfo{row_, 1});
    } else {
        ++info_[it->second].Count;
    }
    Pending.Clear();
}

std::string ErrorLog::DescribedLine(int32_t i) const {
    const LineInfo& info = info_.at(static_cast<std::size_t>(i - 1));
    std::string where;
    if (info.FirstRow > 0) where = Grouped(info.FirstRow) + " 行目";
    if (info.Count > 1) {
        where += info.FirstRow > 0 ? "ほか " + Grouped(info.Count - 1) + " 件"
                                   : Grouped(info.Count) + " 件";
    }
    return Line(i) + (where.empty() ? std::string{} : " (" + where + ")");
}

std::string ErrorLog::DescribedText() const {
    std::string text;
    for (int32_t i = 1; i <= ErrorCount(); ++i)
        text += DescribedLine(i) + "\r\n";
    return text;
}

void ErrorLog::AddPendingWithNumber() {
    if (Pending.IsSet()) AddErrorLine(Pending.WithNumber());
}

void ErrorLog::Clear() {
    lines_.clear();
    info_.clear();
    index_.clear();
    row_ = 0;
}

std::string ErrorLog::Text() const {
    std::string text;
    for (const auto& line : lines_) {
        text += line;
        text += "\r\n";
    }
    return text;
}

}  // namespace vantrel
