#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "common/ErrorState.h"
#include "sources/TextLineReader.h"

namespace vantrel {

// Reads and splits the lines of a delimited text file on a second thread, a few batches ahead of
// the caller, so that decoding and splitting overlap with storing the rows. Memory stays bounded:
// at most a few batches of about a megabyte each are held, whatever the size of the file.
class TextRowFeed {
  public:
    struct Row {
        int64_t Line = 0;                // 1-based line number in the file
        std::vector<std::string> Cells;  // the line split, quotes folded and cells restored
        std::string Notice;              // log line for invalid bytes met on this line, if any
    };

    TextRowFeed() = default;
    ~TextRowFeed();
    TextRowFeed(const TextRowFeed&) = delete;
    TextRowFeed& operator=(const TextRowFeed&) = delete;

    // Opens the file; on failure sets `error` as TextLineReader::Open does and returns false.
    bool Open(const std::string& path, ErrorState& error);
    // The next line, split with `delimiter`; nullptr at the end of the file. The delimiter of the
    // first call holds until the end. The row stays valid until the next call.
    const Row* Next(std::string_view delimiter);
    // A read error met on the way (set once Next has returned nullptr).
    const ErrorState& ReadError() const { return readError_; }
    void Close();

  private:
    using Batch = std::vector<Row>;
    void Produce(std::string delimiter);
    bool FillBatch(Batch& batch, std::string_view delimiter);  // true at the end of the file

    TextLineReader reader_;
    ErrorState readError_;  // the reader's errors, written by the second thread only
    std::thread worker_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> ready_;
    std::vector<Batch> spare_;
    bool finished_ = false;  // the second thread has queued its last batch
    bool stopping_ = false;
    bool inline_ = false;  // no second thread: batches are read by Next itself
    std::string line_;     // used by whichever thread reads
    Batch current_;
    std::size_t next_ = 0;
};

}  // namespace vantrel
