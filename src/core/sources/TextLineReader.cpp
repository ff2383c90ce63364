#include "sources/TextLineReader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "common/SafeFile.h"

namespace vantrel {

namespace {

constexpr std::size_t kChunkSize = 1 << 16;

bool OpenForReading(const std::string& path, std::FILE*& file, ErrorState& error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        error.Set(RuntimeError::PathFileAccessError,
                  path + " : " + RuntimeError::Description(RuntimeError::PathFileAccessError));
        return false;
    }
    file = std::fopen(path.c_str(), "rb");
    if (!file) {
        const int32_t number = RuntimeErrorForErrno(errno);
        error.Set(number, path + " : " + RuntimeError::Description(number));
        return false;
    }
    return true;
}

}  // namespace

bool DetectTextFileLayout(const std::string& path, TextFileLayout& layout, ErrorState& error) {
    std::FILE* file = nullptr;
    if (!OpenForReading(path, file, error)) return false;
    std::vector<unsigned char> chunk(kChunkSize);
    std::size_t n = std::fread(chunk.data(), 1, chunk.size(), file);
    std::size_t skip = 0;
    if (n >= 3 && chunk[0] == 0xEF && chunk[1] == 0xBB && chunk[2] == 0xBF) {
        layout.Encoding = TextEncoding::Utf8Bom;
        skip = 3;
    } else if (n >= 2 && chunk[0] == 0xFF && chunk[1] == 0xFE) {
        layout.Encoding = TextEncoding::Utf16LE;
        skip = 2;
    } else if (n >= 2 && chunk[0] == 0xFE && chunk[1] == 0xFF) {
        layout.Encoding = TextEncoding::Utf16BE;
        skip = 2;
    }
    const bool utf16 =
        layout.Encoding == TextEncoding::Utf16LE || layout.Encoding == TextEncoding::Utf16BE;
    const bool bigEndian = layout.Encoding == TextEncoding::Utf16BE;
    const bool hasBom = skip > 0;
    // Checks the bytes as UTF-8 while scanning: any replacement means the file is not UTF-8.
    TextDecoder utf8Check(TextEncoding::Utf8);
    std::string scratch;
    bool utf8Valid = true, nonAscii = false;
    bool hasCr = false;
    bool oddByte = false;  // a UTF-16 unit cut between two pieces
    unsigned char carried = 0;
    while (n > 0) {
        const unsigned char* p = chunk.data() + skip;
        std::size_t len = n - skip;
        if (utf16) {
            std::size_t i = 0;
            if (oddByte && len > 0) {
                const unsigned char a = carried, b = p[0];
                if ((bigEndian ? (a == 0 && b == 0x0D) : (a == 0x0D && b == 0))) hasCr = true;
                i = 1;
                oddByte = false;
            }
            for (; i + 1 < len; i += 2) {
                if (bigEndian ? (p[i] == 0 && p[i + 1] == 0x0D) : (p[i] == 0x0D && p[i + 1] == 0))
                    hasCr = true;
            }
            if (i < len) {
                oddByte = true;
                carried = p[i];
            }
        } else {
            if (!hasCr && std::memchr(p, '\r', len)) hasCr = true;
            if (!hasBom && utf8Valid) {
                const std::string_view bytes(reinterpret_cast<const char*>(p), len);
                scratch.clear();
                if (utf8Check.Decode(bytes, scratch, false) > 0) utf8Valid = false;
                nonAscii = nonAscii || std::any_of(bytes.begin(), bytes.end(),
                                                   [](char c) { return (c & 0x80) != 0; });
            }
        }
        skip = 0;
        n = std::fread(chunk.data(), 1, chunk.size(), file);
    }
    const bool readFailed = std::ferror(file) != 0;
    std::fclose(file);
    if (readFailed) {
        error.Set(RuntimeError::PathFileAccessError,
                  path + " : " + RuntimeError::Description(RuntimeError::PathFileAccessError));
        return false;
    }
    if (!hasBom) {
        scratch.clear();
        if (utf8Check.Decode({}, scratch, true) > 0) utf8Valid = false;  // cut at the end
        layout.Encoding = (utf8Valid && nonAscii) ? TextEncoding::Utf8 : TextEncoding::Cp932;
    }
    layout.LfEndsLines = !hasCr;
    return true;
}

TextLineReader::TextLineReader() = default;

TextLineReader::~TextLineReader() {
    Close();
}

bool TextLineReader::Open(const std::string& path, ErrorState& error, ErrorLog* log) {
    Close();
    if (!DetectTextFileLayout(path, layout_, error)) return false;
    if (!OpenForReading(path, file_, error)) return false;
    path_ = path;
    error_ = &error;
    log_ = log;
    decoder_ = std::make_unique<TextDecoder>(layout_.Encoding);
    // Skip the byte order mark: it is not part of the first line.
    const std::size_t bom = ByteOrderMarkLength(layout_.Encoding);
    if (bom > 0) std::fseek(file_, static_cast<long>(bom), SEEK_SET);
    return true;
}

void TextLineReader::Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    decoder_.reset();
    buffer_.clear();
    pos_ = scanFrom_ = 0;
    bufferBase_ = 0;
    firstBadOffset_ = UINT64_MAX;
    atEnd_ = false;
    lineNumber_ = 0;
    firstInvalidLine_ = 0;
    invalidNotice_.clear();
}

bool TextLineReader::Fill() {
    if (atEnd_ || !file_) return false;
    char chunk[kChunkSize];
    const std::size_t n = std::fread(chunk, 1, sizeof chunk, file_);
    if (n == 0) {
        if (std::ferror(file_) && error_) {
            error_->Set(
                RuntimeError::PathFileAccessError,
                path_ + " : " + RuntimeError::Description(RuntimeError::PathFileAccessError));
        }
        atEnd_ = true;
    }
    std::size_t firstBad = 0;
    const std::size_t before = buffer_.size();
    const std::size_t bad =
        decoder_->Decode(std::string_view(chunk, n), buffer_, atEnd_, &firstBad);
    if (bad > 0 && firstBadOffset_ == UINT64_MAX) firstBadOffset_ = bufferBase_ + firstBad;
    return n > 0 || buffer_.size() > before;
}

void TextLineReader::NoteInvalidLine(std::size_t lineStart, std::size_t lineEnd) {
    if (firstInvalidLine_ != 0 || firstBadOffset_ == UINT64_MAX) return;
    if (firstBadOffset_ < bufferBase_ + lineStart || firstBadOffset_ >= bufferBase_ + lineEnd)
        return;
    firstInvalidLine_ = lineNumber_;
    invalidNotice_ =
        path_ + " の " + std::to_string(lineNumber_) + " 行目に " +
        EncodingDisplayName(layout_.Encoding) +
        " として読めない文字があります。読めない部分は「\xEF\xBF\xBD」に置き換えました。";
    if (log_) log_->AddErrorLine(TakeInvalidLineNotice());
}

std::string TextLineReader::TakeInvalidLineNotice() {
    return std::exchange(invalidNotice_, std::string{});
}

bool TextLineReader::ReadLine(std::string& line) {
    if (!file_) return false;
    // Drop the text already returned so the buffer stays about one line long.
    if (pos_ > 0 && pos_ >= buffer_.size() / 2) {
        buffer_.erase(0, pos_);
        bufferBase_ += pos_;
        scanFrom_ -= pos_;
        pos_ = 0;
    }
    const char terminator = layout_.LfEndsLines ? '\n' : '\r';
    for (;;) {
        const std::size_t hit = buffer_.find(terminator, scanFrom_);
        if (hit != std::string::npos) {
            std::size_t next = hit + 1;
            if (terminator == '\r') {
                // A CR at the end of the buffer may be the first half of CR LF.
                if (next >= buffer_.size() && Fill()) continue;
                if (next < buffer_.size() && buffer_[next] == '\n') ++next;
            }
            line.assign(buffer_, pos_, hit - pos_);
            ++lineNumber_;
            NoteInvalidLine(pos_, next);
            pos_ = scanFrom_ = next;
            return true;
        }
        scanFrom_ = buffer_.size();
        if (!Fill()) break;
    }
    if (pos_ >= buffer_.size()) return false;
    line.assign(buffer_, pos_, std::string::npos);
    ++lineNumber_;
    NoteInvalidLine(pos_, buffer_.size());
    pos_ = scanFrom_ = buffer_.size();
    return true;
}

}  // namespace vantrel
