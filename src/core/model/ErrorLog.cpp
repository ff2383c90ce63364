#include "model/ErrorLog.h"

namespace vantrel {

void ErrorLog::AddErrorLine(const std::string& message) {
    if (seen_.insert(message).second) lines_.push_back(message);
    Pending.Clear();
}

void ErrorLog::AddPendingWithNumber() {
    if (Pending.IsSet()) AddErrorLine(Pending.WithNumber());
}

void ErrorLog::Clear() {
    lines_.clear();
    seen_.clear();
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
