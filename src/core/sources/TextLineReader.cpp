#include "sources/TextLineReader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string_view>
#include <utility>

#include "common/SafeFile.h"

namespace vantrel {

namespace {

constexpr std::size_t kChunkSize = 1 << 16;
// How much of a file decides its layout: enough text to tell the encodings apart, little enough
// that listing the fields of a large file costs nothing.
constexpr std::size_t kSampleSize = 4 * kChunkSize;

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

// What ends the lines of a piece of the file: whether it holds a CR, and an LF.
struct LineEndsSeen {
    bool Cr = false;
    bool Lf = false;
};

void NoteLineEnds(std::string_view bytes, TextEncoding encoding, LineEndsSeen& seen) {
    if (encoding != TextEncoding::Utf16LE && encoding != TextEncoding::Utf16BE) {
        seen.Cr = seen.Cr || bytes.find('\r') != std::string_view::npos;
        seen.Lf = seen.Lf || bytes.find('\n') != std::string_view::npos;
        return;
    }
    // Pieces start on a code unit: the byte order mark and every piece but the last are even.
    const std::size_t low = encoding == TextEncoding::Utf16LE ? 0 : 1;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        if (bytes[i + 1 - low] != 0) continue;
        seen.Cr = seen.Cr || bytes[i + low] == '\r';
        seen.Lf = seen.Lf || bytes[i + low] == '\n';
    }
}

}  // namespace

bool DetectTextFileLayout(const std::string& path, TextFileLayout& layout, ErrorState& error) {
    std::FILE* file = nullptr;
    if (!OpenForReading(path, file, error)) return false;
    std::string sample(kSampleSize, '\0');
    sample.resize(std::fread(sample.data(), 1, sample.size(), file));
    bool complete = sample.size() < kSampleSize;
    std::string_view body = sample;
    layout = TextFileLayout{};
    if (body.starts_with(kUtf8Bom)) {
        layout.Encoding = TextEncoding::Utf8Bom;
    } else if (body.starts_with("\xFF\xFE")) {
        layout.Encoding = TextEncoding::Utf16LE;
    } else if (body.starts_with("\xFE\xFF")) {
        layout.Encoding = TextEncoding::Utf16BE;
    } else {
        // Decided by what the text would be; a sample of plain ASCII decides nothing, and the
        // reader settles the encoding at the first other byte it meets.
        layout.Encoding = GuessCp932OrUtf8(body, complete);
        layout.EncodingSettled =
            complete || std::any_of(body.begin(), body.end(), [](char c) { return c & 0x80; });
    }
    body.remove_prefix(ByteOrderMarkLength(layout.Encoding));
    LineEndsSeen seen;
    NoteLineEnds(body, layout.Encoding, seen);
    // A first line longer than the sample: read on until some line end shows.
    std::string chunk;
    while (!seen.Cr && !seen.Lf && !complete) {
        chunk.resize(kChunkSize);
        chunk.resize(std::fread(chunk.data(), 1, kChunkSize, file));
        complete = chunk.size() < kChunkSize;
        NoteLineEnds(chunk, layout.Encoding, seen);
    }
    const bool readFailed = std::ferror(file) != 0;
    std::fclose(file);
    if (readFailed) {
        error.Set(RuntimeError::PathFileAccessError,
                  path + " : " + RuntimeError::Description(RuntimeError::PathFileAccessError));
        return false;
    }
    layout.LfEndsLines = !seen.Cr;
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
    raw_.clear();
    pos_ = scanFrom_ = 0;
    bufferBase_ = 0;
    firstBadOffset_ = UINT64_MAX;
    atEnd_ = false;
    lineNumber_ = 0;
    firstInvalidLine_ = 0;
    invalidNotice_.clear();
}

std::size_t TextLineReader::ReadRaw(std::size_t size) {
    const std::size_t before = raw_.size();
    raw_.resize(before + size);
    const std::size_t n = std::fread(raw_.data() + before, 1, size, file_);
    raw_.resize(before + n);
    if (n == 0) {
        if (std::ferror(file_) && error_) {
            error_->Set(
                RuntimeError::PathFileAccessError,
                path_ + " : " + RuntimeError::Description(RuntimeError::PathFileAccessError));
        }
        atEnd_ = true;
    }
    return n;
}

void TextLineReader::SettleEncoding() {
    const auto other = std::find_if(raw_.begin(), raw_.end(), [](char c) { return c & 0x80; });
    if (other == raw_.end()) return;  // still ASCII: the same text either way
    const auto from = static_cast<std::size_t>(other - raw_.begin());
    while (raw_.size() - from < kSampleSize && ReadRaw(kChunkSize) > 0) {
    }
    layout_.Encoding = GuessCp932OrUtf8(std::string_view(raw_).substr(from), atEnd_);
    layout_.EncodingSettled = true;
    // Nothing is pending in the old decoder: all it saw was ASCII.
    decoder_ = std::make_unique<TextDecoder>(layout_.Encoding);
}

bool TextLineReader::Fill() {
    if (atEnd_ || !file_) return false;
    raw_.clear();
    const std::size_t n = ReadRaw(kChunkSize);
    if (!layout_.EncodingSettled) SettleEncoding();
    std::size_t firstBad = 0;
    const std::size_t before = buffer_.size();
    const std::size_t bad = decoder_->Decode(raw_, buffer_, atEnd_, &firstBad);
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
            std::size_t end = hit;
            if (terminator == '\r') {
                // A CR at the end of the buffer may be the first half of CR LF.
                if (next >= buffer_.size() && Fill()) continue;
                if (next < buffer_.size() && buffer_[next] == '\n') ++next;
            } else if (end > pos_ && buffer_[end - 1] == '\r') {
                --end;  // CR LF lines after a start without any CR
            }
            line.assign(buffer_, pos_, end - pos_);
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
