#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/ErrorState.h"
#include "sources/engine/Engine.h"
#include "sources/engine/ReaderProtocol.h"

namespace vantrel::reader {

// Where the bytes of one reader stream come from: the reader process, or memory.
class StreamSource : public Parser {
  public:
    // True when the stream stopped because its writer stalled.
    virtual bool TimedOut() const { return false; }
    // No more of the stream is wanted.
    virtual void Stop() {}

    // The next record's tag; a detail record before the closing one is kept for its message.
    bool NextTag(Tag& tag);
    const std::string& Detail() const { return detail_; }

  private:
    std::string detail_;
};

// A stream held in memory (tests and fuzzing).
class MemorySource final : public StreamSource {
  public:
    explicit MemorySource(std::string bytes) : bytes_(std::move(bytes)) {}

  protected:
    bool Read(char* out, std::size_t n) override;

  private:
    std::string bytes_;
    std::size_t pos_ = 0;
};

// Starts one request {format, "catalog" | "rows", path[, table]}; null when it cannot start.
using StreamOpener =
    std::function<std::unique_ptr<StreamSource>(const std::vector<std::string>& request)>;

}  // namespace vantrel::reader

namespace vantrel::backends {

// A read-only database of `format` whose catalog and rows are read from streams `open` starts;
// null with the error set when the catalog cannot be read.
std::unique_ptr<Database> OpenStreamDatabase(const std::string& format, const std::string& path,
                                             reader::StreamOpener open, ErrorState& error);

}  // namespace vantrel::backends
