#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "common/Encoding.h"
#include "common/ErrorState.h"
#include "model/ErrorLog.h"

namespace vantrel {

// How a delimited text file is laid out: its encoding and what ends its lines.
struct TextFileLayout {
    TextEncoding Encoding = TextEncoding::Cp932;
    // False when the text seen so far was plain ASCII, which reads the same in CP932 and UTF-8:
    // the reader then settles the encoding at the first other byte (Encoding says CP932 until).
    bool EncodingSettled = true;
    // CR or CR LF end lines and a lone LF stays inside them (multi-line cells stay whole);
    // a file whose start shows no CR uses LF as its line end instead (a CR before it dropped).
    bool LfEndsLines = false;
};

// Works out a file's layout from its start, whatever its size: a UTF-8 or UTF-16 byte order
// mark decides the encoding; otherwise GuessCp932OrUtf8 on the first 256 KiB.
bool DetectTextFileLayout(const std::string& path, TextFileLayout& layout, ErrorState& error);

// Reads a delimited text file line by line without ever holding more than the current line and
// one buffer of the file, whatever its size. Text comes out as UTF-8. Opened only for reading.
// The encoding chosen holds to the end: bytes later found invalid in it are replaced and
// reported (TakeInvalidLineNotice), and their line is still returned.
class TextLineReader {
  public:
    TextLineReader();
    ~TextLineReader();
    TextLineReader(const TextLineReader&) = delete;
    TextLineReader& operator=(const TextLineReader&) = delete;

    // Opens the file; sets a runtime error (53, 70, 75) and returns false when it cannot be read.
    // Invalid bytes are reported once to `log` (when given), naming the file and the first line.
    bool Open(const std::string& path, ErrorState& error, ErrorLog* log = nullptr);
    // The next line without its terminator; false at the end of the file or on a read error
    // (which then sets the error given to Open).
    bool ReadLine(std::string& line);
    void Close();

    bool IsOpen() const { return file_ != nullptr; }
    const TextFileLayout& Layout() const { return layout_; }
    TextEncoding Encoding() const { return layout_.Encoding; }
    // Number of the line last returned (1-based), 0 before the first.
    int64_t LineNumber() const { return lineNumber_; }
    // First line holding a byte sequence invalid in the encoding, 0 while none was met.
    int64_t FirstInvalidLine() const { return firstInvalidLine_; }
    // The log line for invalid bytes met by the last ReadLine, once; empty otherwise or when the
    // reader was opened with a log (which then got the line).
    std::string TakeInvalidLineNotice();

  private:
    bool Fill();  // decodes one more buffer of the file; false at its end
    // Appends up to `size` bytes of the file to raw_; 0 at its end or on a read error.
    std::size_t ReadRaw(std::size_t size);
    // Chooses the encoding at the first byte of raw_ that is not ASCII, from the text there on.
    void SettleEncoding();
    void NoteInvalidLine(std::size_t lineStart, std::size_t lineEnd);

    std::FILE* file_ = nullptr;
    std::string path_;
    ErrorState* error_ = nullptr;
    ErrorLog* log_ = nullptr;
    TextFileLayout layout_;
    std::unique_ptr<TextDecoder> decoder_;
    std::string raw_;     // bytes read and not yet decoded
    std::string buffer_;  // decoded text not yet returned, from pos_ on
    std::size_t pos_ = 0;
    std::size_t scanFrom_ = 0;  // where the search for the line end continues
    uint64_t bufferBase_ = 0;   // offset of buffer_[0] in the whole decoded text
    uint64_t firstBadOffset_ = UINT64_MAX;
    bool atEnd_ = false;
    int64_t lineNumber_ = 0;
    int64_t firstInvalidLine_ = 0;
    std::string invalidNotice_;
};

}  // namespace vantrel
