#include "model/DefinitionValues.h"

namespace vantrel {

std::string QuotedValue(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('"');
    for (const char c : text) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

bool DefinitionValueReader::Next(std::string& value) {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t'))
        ++pos_;
    if (pos_ >= text_.size()) return false;
    value.clear();
    if (text_[pos_] == '"') {
        ReadQuoted(value);
    } else {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && !IsSeparator(text_[pos_]))
            ++pos_;
        value.assign(text_.substr(start, pos_ - start));
    }
    SkipSeparator();
    return true;
}

void DefinitionValueReader::ReadQuoted(std::string& value) {
    ++pos_;  // the opening quote
    for (;;) {
        const std::size_t quote = text_.find('"', pos_);
        if (quote == std::string_view::npos) {
            // Unterminated: the value runs to the end of the file.
            value.append(text_.substr(pos_));
            pos_ = text_.size();
            return;
        }
        value.append(text_.substr(pos_, quote - pos_));
        pos_ = quote + 1;
        if (pos_ < text_.size() && text_[pos_] == '"') {
            value.push_back('"');
            ++pos_;
            continue;
        }
        break;
    }
    while (pos_ < text_.size() && !IsSeparator(text_[pos_]))
        ++pos_;
}

void DefinitionValueReader::SkipSeparator() {
    if (pos_ >= text_.size()) return;
    if (text_[pos_] == '\r') {
        ++pos_;
        if (pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
    } else {
        ++pos_;
    }
}

}  // namespace vantrel
