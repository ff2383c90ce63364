#include "sources/TextRowFeed.h"

#include <system_error>
#include <utility>

#include "sources/DelimitedText.h"

namespace vantrel {

namespace {

constexpr std::size_t kBatchRows = 512;
constexpr std::size_t kBatchBytes = 1 << 20;
constexpr std::size_t kBatchesAhead = 4;

}  // namespace

TextRowFeed::~TextRowFeed() {
    Close();
}

bool TextRowFeed::Open(const std::string& path, ErrorState& error) {
    Close();
    // The reader runs on the second thread, so it reports into a state of its own.
    if (reader_.Open(path, readError_)) return true;
    error = readError_;
    readError_.Clear();
    return false;
}

void TextRowFeed::Close() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (worker_.joinable()) worker_.join();
    reader_.Close();
    ready_.clear();
    spare_.clear();
    current_.clear();
    next_ = 0;
    finished_ = stopping_ = inline_ = false;
    readError_.Clear();
}

const TextRowFeed::Row* TextRowFeed::Next(std::string_view delimiter) {
    if (next_ < current_.size()) return &current_[next_++];
    if (!reader_.IsOpen()) return nullptr;
    if (inline_) {
        // No second thread could be had: read on this one.
        if (FillBatch(current_, delimiter)) reader_.Close();
        next_ = 0;
        return current_.empty() ? nullptr : &current_[next_++];
    }
    if (!worker_.joinable()) {
        try {
            worker_ = std::thread(&TextRowFeed::Produce, this, std::string(delimiter));
        } catch (const std::system_error&) {
            inline_ = true;
            return Next(delimiter);
        }
    }
    std::unique_lock<std::mutex> lock(mutex_);
    if (!current_.empty()) spare_.push_back(std::move(current_));
    current_.clear();
    next_ = 0;
    changed_.notify_all();  // a batch is free again
    changed_.wait(lock, [&] { return !ready_.empty() || finished_; });
    if (ready_.empty()) return nullptr;
    current_ = std::move(ready_.front());
    ready_.pop_front();
    changed_.notify_all();
    return current_.empty() ? nullptr : &current_[next_++];
}

bool TextRowFeed::FillBatch(Batch& batch, std::string_view delimiter) {
    std::size_t used = 0, bytes = 0;
    bool atEnd = false;
    while (used < kBatchRows && bytes < kBatchBytes) {
        if (!reader_.ReadLine(line_)) {
            atEnd = true;
            break;
        }
        if (used == batch.size()) batch.emplace_back();
        Row& row = batch[used++];
        row.Line = reader_.LineNumber();
        row.Cells = SplitLine(line_, delimiter);
        row.Notice = reader_.TakeInvalidLineNotice();
        bytes += line_.size() + 64;
    }
    batch.resize(used);
    return atEnd;
}

void TextRowFeed::Produce(std::string delimiter) {
    for (bool atEnd = false; !atEnd;) {
        Batch batch;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!spare_.empty()) {
                batch = std::move(spare_.back());
                spare_.pop_back();
            }
        }
        atEnd = FillBatch(batch, delimiter);
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return ready_.size() < kBatchesAhead || stopping_; });
        if (stopping_) return;
        if (!batch.empty()) ready_.push_back(std::move(batch));
        finished_ = atEnd;
        changed_.notify_all();
    }
}

}  // namespace vantrel
