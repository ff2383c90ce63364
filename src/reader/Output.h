#pragma once

#include <cstdio>
#include <string>

#include "sources/engine/ReaderProtocol.h"

namespace vantrel::reader {

// The child's standard output, flushed in large pieces so that rows stream to the parent.
class Output {
  public:
    Writer& Out() { return writer_; }
    void FlushIfLarge() {
        if (writer_.Buffer().size() >= (1u << 16)) Flush();
    }
    void Flush() {
        std::string& b = writer_.Buffer();
        if (!b.empty()) std::fwrite(b.data(), 1, b.size(), stdout);
        std::fflush(stdout);
        b.clear();
    }
    // The closing record: 0 when everything was delivered, else an engine error number; a
    // detail says more about the error than the engine's message does.
    void End(int32_t error, const std::string& name = {}, const std::string& detail = {}) {
        if (!detail.empty()) {
            writer_.Put(Tag::Detail);
            writer_.PutString(detail);
        }
        writer_.Put(Tag::End);
        writer_.PutInt32(error);
        writer_.PutString(name);
        Flush();
    }

  private:
    Writer writer_;
};

// Each reader lists the tables of its file (catalog) or streams one table (fields, count, rows).
int ReadAccess(const std::string& command, const std::string& path, const std::string& table,
               Output& out);
int ReadExcel(const std::string& command, const std::string& path, const std::string& table,
              Output& out);
// Excel 2007 and later workbooks (a zip package); ReadExcel hands them over.
int ReadXlsx(const std::string& command, const std::string& path, const std::string& table,
             Output& out);

}  // namespace vantrel::reader
