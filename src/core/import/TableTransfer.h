#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "model/SessionState.h"
#include "sources/engine/Engine.h"

namespace vantrel {

// Where a run stands, for progress displays.
struct TransferProgress {
    int32_t Pair = 0;       // 1-based pair being written
    int32_t PairCount = 0;  // pairs of the run
    std::string OutTable;
    std::string InTable;
    int64_t Rows = 0;  // records written for this pair so far
};

// Counts of one run: errors recorded and records written, per pair.
struct TransferCounts {
    std::vector<int32_t> PairErrorCounts;   // 0..TableMax
    std::vector<int64_t> PairRecordCounts;  // 0..TableCount
};

// Writes one pair's staged rows into its output table in the pair's write mode, field by field.
// Every problem is logged and counted; the transfer goes on with the next field, record or pair.
class TableTransfer {
  public:
    using ProgressCallback = std::function<bool(const TransferProgress&)>;  // false cancels

    TableTransfer(SessionState& state, Database& output, Database& work, TransferCounts& counts);

    void SetProgress(ProgressCallback progress) { progress_ = std::move(progress); }
    bool Cancelled() const { return cancelled_; }

    void TransferPair(int32_t t, int32_t pairCount);
    // Logs the pending error for pair t at field position f (-1: no particular field).
    void RecordTransferError(int32_t t, int32_t f);

  private:
    void Append(int32_t t, Recordset& out, Recordset& in);
    void Update(int32_t t, Recordset& out, Recordset& in);
    void WriteHeaderRecord(int32_t t, Recordset& out);
    void CountRecord(int32_t t);
    // Logs the database size limit when the last Update met it; the pair then stops.
    bool ReachedSizeLimit(int32_t t, int64_t row);
    bool Report();  // false once the run is cancelled
    const std::string& Staged(int32_t t) const { return staged_[static_cast<std::size_t>(t)]; }

    SessionState& state_;
    Database& output_;
    Database& work_;
    TransferCounts& counts_;
    std::vector<std::string> staged_;  // each pair's staged table
    ProgressCallback progress_;
    TransferProgress current_;
    bool cancelled_ = false;
};

}  // namespace vantrel
