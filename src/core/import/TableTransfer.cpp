#include "import/TableTransfer.h"

#include <algorithm>
#include <optional>

#include "common/TextCase.h"
#include "import/InputStaging.h"
#include "sources/engine/JetErrors.h"

namespace vantrel {

namespace {

constexpr int64_t kProgressEveryRows = 1000;

bool SameError(const ErrorState& a, const ErrorState& b) {
    return a.Number == b.Number && a.Description == b.Description;
}

std::string WithoutQuotes(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '"'), text.end());
    return text;
}

// Field positions resolved once per pair; a name the table lacks is looked up again on every use
// so it raises its error each time, as an unresolved name would.
class FieldMap {
  public:
    FieldMap(const Recordset& rs, const std::vector<std::string>& names) {
        for (const auto& n : names)
            index_.push_back(n.empty() ? -1 : Lookup(rs, n));
    }
    int32_t Index(const Recordset& rs, std::size_t f, const std::string& name) const {
        return index_[f] >= 0 ? index_[f] : rs.FieldIndex(name);
    }

  private:
    static int32_t Lookup(const Recordset& rs, const std::string& name) {
        const std::string wanted = LowerCase(name);
        for (int32_t i = 0; i < rs.FieldCount(); ++i) {
            if (LowerCase(rs.Field(i).Name) == wanted) return i;
        }
        return -1;
    }
    std::vector<int32_t> index_;
};

}  // namespace

TableTransfer::TableTransfer(SessionState& state, Database& output, Database& work,
                             TransferCounts& counts)
    : state_(state),
      output_(output),
      work_(work),
      counts_(counts),
      staged_(StagedTableNames(state.Definition)) {}

void TableTransfer::CountRecord(int32_t t) {
    const auto i = static_cast<std::size_t>(t);
    if (counts_.PairErrorCounts[i] == 0) ++counts_.PairRecordCounts[i];
    ++current_.Rows;
}

bool TableTransfer::Report() {
    if (progress_ && current_.Rows % kProgressEveryRows == 0 && !progress_(current_))
        cancelled_ = true;
    return !cancelled_;
}

void TableTransfer::RecordTransferError(int32_t t, int32_t f) {
    ErrorLog& log = state_.Errors;
    ++counts_.PairErrorCounts[static_cast<std::size_t>(t)];
    const ImportDefinition& def = state_.Definition;
    if (f != -1 && def.FieldPairs.Contains(t, f) &&
        (!def.FieldPairs(t, f).OutField.empty() || !def.FieldPairs(t, f).InField.empty())) {
        const FieldPair& p = def.FieldPairs(t, f);
        log.AddErrorLine(p.InField + "->" + p.OutField + " \xEF\xBC\x9A" + log.Pending.Description);
    } else {
        log.AddErrorLine(log.Pending.WithNumber());
    }
}

bool TableTransfer::ReachedSizeLimit(int32_t t, int64_t row) {
    // A full database takes no more rows of this pair: said at once, naming the row, and the
    // pair ends; what was written stays.
    if (state_.Errors.Pending.Number != JetError::DatabaseTooLarge) return false;
    state_.Errors.SetRow(row);
    RecordTransferError(t, -1);
    return true;
}

void TableTransfer::WriteHeaderRecord(int32_t t, Recordset& out) {
    const ImportDefinition& def = state_.Definition;
    for (int32_t f = 1; f <= def.FieldMax; ++f) {
        const FieldPair& p = def.FieldPairs(t, f);
        if (p.InField.empty()) continue;
        out.SetValue(std::string_view(p.OutField), Value::Text(p.InField));
        if (state_.Errors.Pending.IsSet()) RecordTransferError(t, f);
    }
    out.Update();
    CountRecord(t);
}

void TableTransfer::Append(int32_t t, Recordset& out, Recordset& in) {
    const ImportDefinition& def = state_.Definition;
    ErrorLog& log = state_.Errors;
    if (def.Table(t).HeaderAsData == 1) {
        out.AddNew();
        WriteHeaderRecord(t, out);
    }
    std::vector<std::string> outNames, inNames;
    for (int32_t f = 1; f <= def.FieldMax; ++f) {
        outNames.push_back(def.FieldPairs(t, f).InField.empty() ? std::string{}
                                                                : def.FieldPairs(t, f).OutField);
        inNames.push_back(def.FieldPairs(t, f).InField);
    }
    const FieldMap outMap(out, outNames), inMap(in, inNames);
    const std::string& staged = Staged(t);
    in.MoveFirst();
    // An Update failure waits for the next check point, which may come records later; its line
    // names the row of the record that failed.
    std::optional<ErrorState> updateFailure;
    int64_t failureRow = 0;
    for (int64_t record = 1; !in.Eof(); ++record) {
        const int64_t row = state_.StagedRows.RowOf(staged, record);
        log.SetRow(updateFailure ? failureRow : row);
        out.AddNew();
        for (int32_t f = 1; f <= def.FieldMax; ++f) {
            const FieldPair& p = def.FieldPairs(t, f);
            const auto k = static_cast<std::size_t>(f - 1);
            if (p.InField.empty()) {
                if (!p.OutField.empty()) {
                    // Logging this line must not swallow a failure waiting for its check point.
                    const ErrorState pending = log.Pending;
                    log.AddErrorLine(p.OutField +
                                     "は入力フィールドの指定がないため移行されませんでした");
                    log.Pending = pending;
                }
                continue;
            }
            static const Value kNull;
            const int32_t from = inMap.Index(in, k, p.InField);
            const Value& v = from >= 0 ? in.GetValue(from) : kNull;
            if (v.IsNull() || (v.kind() == Value::Kind::Text && v.Str().empty())) continue;
            const int32_t to = outMap.Index(out, k, p.OutField);
            if (to >= 0) {
                // Quotes are taken out of texts only. Other values go over as they are, so
                // numbers, dates and bytes arrive exactly rather than through a text form.
                if (v.kind() == Value::Kind::Text && v.Str().find('"') != std::string::npos) {
                    out.SetValue(to, Value::Text(WithoutQuotes(v.Str())));
                } else {
                    out.SetValue(to, v);
                }
            }
            if (log.Pending.IsSet()) {
                if (updateFailure && !SameError(*updateFailure, log.Pending)) log.SetRow(row);
                RecordTransferError(t, f);
                updateFailure.reset();
                log.SetRow(row);
            }
        }
        out.Update();
        if (ReachedSizeLimit(t, row)) return;
        if (log.Pending.IsSet() && !(updateFailure && SameError(*updateFailure, log.Pending))) {
            updateFailure = log.Pending;
            failureRow = row;
            log.SetRow(row);
        }
        CountRecord(t);
        if (!Report()) return;
        in.MoveNext();
    }
}

void TableTransfer::Update(int32_t t, Recordset& out, Recordset& in) {
    const ImportDefinition& def = state_.Definition;
    ErrorLog& log = state_.Errors;
    if (def.Table(t).HeaderAsData == 1) {
        out.Edit();
        WriteHeaderRecord(t, out);
        out.MoveNext();
    }
    const std::string& staged = Staged(t);
    for (int64_t record = 1; !out.Eof() && !in.Eof(); ++record) {
        const int64_t row = state_.StagedRows.RowOf(staged, record);
        log.SetRow(row);
        out.Edit();
        for (int32_t f = 1; f <= def.FieldMax; ++f) {
            const FieldPair& p = def.FieldPairs(t, f);
            if (p.InField.empty()) continue;
            const Value& v = in.GetValue(std::string_view(p.InField));
            if (v.IsNull() || (v.kind() == Value::Kind::Text && v.Str().empty())) continue;
            out.SetValue(std::string_view(p.OutField), v);
            if (log.Pending.IsSet()) RecordTransferError(t, f);
        }
        out.Update();
        if (ReachedSizeLimit(t, row)) return;
        CountRecord(t);
        if (log.Pending.IsSet()) RecordTransferError(t, -1);
        if (!Report()) return;
        out.MoveNext();
        in.MoveNext();
    }
}

void TableTransfer::TransferPair(int32_t t, int32_t pairCount) {
    const ImportDefinition& def = state_.Definition;
    ErrorLog& log = state_.Errors;
    const TableSetting& pair = def.Table(t);
    if (pair.OutTable.empty() && pair.InTable.empty()) return;
    if (pair.InTable.empty()) {
        log.AddErrorLine(pair.OutTable +
                         "は入力テーブルの指定がないため、インポートできませんでした");
        return;
    }
    current_ = TransferProgress{t, pairCount, pair.OutTable, pair.InTable, 0};
    auto notImported = [&] {
        log.AddErrorLine(pair.OutTable + "は、" + log.Pending.Description +
                         "ため、インポートできませんでした");
    };
    // Part of an input is not written: in new mode that would also cost the old rows.
    if (const auto incomplete = state_.IncompleteStaging.find(Staged(t));
        incomplete != state_.IncompleteStaging.end()) {
        log.AddErrorLine(pair.OutTable + "は、" + incomplete->second +
                         "ため、インポートできませんでした");
        return;
    }
    auto out = output_.OpenRecordset(pair.OutTable);
    if (log.Pending.IsSet() || !out) {
        notImported();
        return;
    }
    auto in = work_.OpenRecordset(Staged(t));
    if (log.Pending.IsSet() || !in) {
        notImported();
        out->Close();
        return;
    }
    counts_.PairRecordCounts[static_cast<std::size_t>(t)] = 0;
    if (progress_ && !progress_(current_)) cancelled_ = true;
    switch (cancelled_ ? -1 : pair.WriteMode) {
        case WriteMode::New:
            if (out->RecordCount() != 0) {
                while (!out->Eof() && !cancelled_) {
                    out->Delete();
                    out->MoveNext();
                }
            }
            Append(t, *out, *in);
            break;
        case WriteMode::Append:
            Append(t, *out, *in);
            break;
        case WriteMode::Update:
            Update(t, *out, *in);
            break;
        default:  // a hand-edited definition: nothing is written, and the log says why
            if (!cancelled_)
                log.AddErrorLine(pair.OutTable + "は、書き込み方法 (" +
                                 std::to_string(pair.WriteMode) +
                                 ") が不正なため、インポートできませんでした");
            break;
    }
    // A failure of the last Update is logged below, at the row of that record.
    if (!log.Pending.IsSet()) log.SetRow(0);
    out->Close();
    in->Close();
    if (log.Pending.IsSet()) RecordTransferError(t, -1);
    log.SetRow(0);
}

}  // namespace vantrel
