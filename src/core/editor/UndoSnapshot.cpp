#include "editor/UndoSnapshot.h"

namespace vantrel {

namespace {

constexpr std::string_view kMagic = "VTUNDO";
constexpr uint32_t kVersion = 1;

class Writer {
  public:
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes_.push_back(static_cast<char>((v >> (8 * i)) & 0xFFu));
    }
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void Text(const std::string& s) {
        U32(static_cast<uint32_t>(s.size()));
        bytes_ += s;
    }
    void Raw(std::string_view s) { bytes_ += s; }
    std::string Take() { return std::move(bytes_); }

  private:
    std::string bytes_;
};

// Every read checks what is left first, so a short or damaged file just fails.
class Reader {
  public:
    explicit Reader(std::string_view bytes) : rest_(bytes) {}

    bool U32(uint32_t& v) {
        if (rest_.size() < 4) return false;
        v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<uint32_t>(static_cast<unsigned char>(rest_[static_cast<size_t>(i)]))
                 << (8 * i);
        rest_.remove_prefix(4);
        return true;
    }
    bool I32(int32_t& v) {
        uint32_t u = 0;
        if (!U32(u)) return false;
        v = static_cast<int32_t>(u);
        return true;
    }
    bool Text(std::string& s) {
        uint32_t n = 0;
        if (!U32(n) || n > rest_.size()) return false;
        s.assign(rest_.substr(0, n));
        rest_.remove_prefix(n);
        return true;
    }
    bool Raw(std::string_view expected) {
        if (rest_.substr(0, expected.size()) != expected) return false;
        rest_.remove_prefix(expected.size());
        return true;
    }
    // A count of records, each at least `minBytes` long, that the rest can really hold.
    bool Count(uint32_t& n, std::size_t minBytes) { return U32(n) && n <= rest_.size() / minBytes; }
    bool AtEnd() const { return rest_.empty(); }

  private:
    std::string_view rest_;
};

void WriteTable(Writer& w, const TableSetting& t) {
    w.I32(t.FieldSlot);
    w.I32(t.FieldCount);
    w.Text(t.OutTable);
    w.Text(t.InTable);
    w.Text(t.SkipRows);
    w.I32(t.HeaderAsData);
    w.I32(t.WriteMode);
    w.I32(t.HeaderRow);
    w.Text(t.Delimiter);
}

bool ReadTable(Reader& r, TableSetting& t) {
    return r.I32(t.FieldSlot) && r.I32(t.FieldCount) && r.Text(t.OutTable) && r.Text(t.InTable) &&
           r.Text(t.SkipRows) && r.I32(t.HeaderAsData) && r.I32(t.WriteMode) &&
           r.I32(t.HeaderRow) && r.Text(t.Delimiter);
}

constexpr std::size_t kMinTableBytes = 9 * 4;
constexpr std::size_t kMinPairBytes = 2 * 4;

}  // namespace

UndoSnapshot TakeSnapshot(const SessionState& state, const MappingPanel& panel) {
    const ImportDefinition& def = state.Definition;
    UndoSnapshot s;
    s.OutItems = panel.Lists[kOutputSide].Items();
    s.InItems = panel.Lists[kInputSide].Items();
    for (int32_t r = 0; r < panel.Grid.Rows(); ++r)
        s.Rows.push_back({panel.Grid.Text(r, 0), panel.Grid.Text(r, 1)});
    s.FileVersion = def.FileVersion;
    s.BackupFlag = def.BackupFlag;
    s.OutputPath = def.OutputPath;
    s.InputPath = def.InputPath;
    s.TableMax = def.TableMax;
    s.TableCount = def.TableCount;
    s.FieldMax = def.FieldMax;
    s.SideFolder = state.SideFolder;
    s.SideFileName = state.SideFileName;
    s.Tables = def.Tables;
    s.FieldPairs = def.FieldPairs;
    return s;
}

void RestoreSnapshot(UndoSnapshot&& s, SessionState& state, MappingPanel& panel) {
    for (int side = 0; side < 2; ++side) {
        NamePanelList& list = panel.Lists[static_cast<std::size_t>(side)];
        list.Clear();
        for (auto& item : side == kOutputSide ? s.OutItems : s.InItems)
            list.Add(std::move(item));
    }
    MappingGrid& grid = panel.Grid;
    grid.SetRowCount(0);
    for (auto& row : s.Rows) {
        grid.AddRow();
        grid.Cell(grid.Rows() - 1, 0).Text = std::move(row[0]);
        grid.Cell(grid.Rows() - 1, 1).Text = std::move(row[1]);
    }
    ImportDefinition& def = state.Definition;
    def.FileVersion = s.FileVersion;
    def.BackupFlag = s.BackupFlag;
    def.OutputPath = std::move(s.OutputPath);
    def.InputPath = std::move(s.InputPath);
    def.TableMax = s.TableMax;
    def.TableCount = s.TableCount;
    def.FieldMax = s.FieldMax;
    state.SideFolder = std::move(s.SideFolder);
    state.SideFileName = std::move(s.SideFileName);
    def.Tables = std::move(s.Tables);
    def.FieldPairs = std::move(s.FieldPairs);
}

std::string EncodeSnapshot(const UndoSnapshot& s) {
    Writer w;
    w.Raw(kMagic);
    w.U32(kVersion);
    w.U32(static_cast<uint32_t>(s.OutItems.size()));
    w.U32(static_cast<uint32_t>(s.InItems.size()));
    w.U32(static_cast<uint32_t>(s.Rows.size()));
    for (const auto& item : s.OutItems)
        w.Text(item);
    for (const auto& item : s.InItems)
        w.Text(item);
    for (const auto& row : s.Rows) {
        w.Text(row[0]);
        w.Text(row[1]);
    }
    w.I32(s.FileVersion);
    w.I32(s.BackupFlag ? 1 : 0);
    w.Text(s.OutputPath);
    w.Text(s.InputPath);
    w.I32(s.TableMax);
    w.I32(s.TableCount);
    w.I32(s.FieldMax);
    for (const auto& part : s.SideFolder)
        w.Text(part);
    for (const auto& part : s.SideFileName)
        w.Text(part);
    w.U32(static_cast<uint32_t>(s.Tables.size()));
    for (const auto& t : s.Tables)
        WriteTable(w, t);
    const int32_t tb = s.FieldPairs.TableBound();
    const int32_t fb = s.FieldPairs.FieldBound();
    w.I32(tb);
    w.I32(fb);
    for (int32_t t = 0; t <= tb; ++t) {
        for (int32_t j = 0; j <= fb; ++j) {
            w.Text(s.FieldPairs(t, j).InField);
            w.Text(s.FieldPairs(t, j).OutField);
        }
    }
    return w.Take();
}

bool DecodeSnapshot(std::string_view bytes, UndoSnapshot& s) {
    Reader r(bytes);
    uint32_t version = 0;
    uint32_t outCount = 0;
    uint32_t inCount = 0;
    uint32_t rowCount = 0;
    if (!r.Raw(kMagic) || !r.U32(version) || version != kVersion) return false;
    if (!r.Count(outCount, 4) || !r.Count(inCount, 4) || !r.Count(rowCount, 8)) return false;
    s.OutItems.assign(outCount, {});
    s.InItems.assign(inCount, {});
    s.Rows.assign(rowCount, {});
    for (auto& item : s.OutItems)
        if (!r.Text(item)) return false;
    for (auto& item : s.InItems)
        if (!r.Text(item)) return false;
    for (auto& row : s.Rows)
        if (!r.Text(row[0]) || !r.Text(row[1])) return false;
    int32_t backup = 0;
    if (!r.I32(s.FileVersion) || !r.I32(backup) || !r.Text(s.OutputPath) || !r.Text(s.InputPath) ||
        !r.I32(s.TableMax) || !r.I32(s.TableCount) || !r.I32(s.FieldMax))
        return false;
    s.BackupFlag = backup != 0;
    for (auto& part : s.SideFolder)
        if (!r.Text(part)) return false;
    for (auto& part : s.SideFileName)
        if (!r.Text(part)) return false;
    uint32_t tableCount = 0;
    if (!r.Count(tableCount, kMinTableBytes) || tableCount == 0) return false;
    s.Tables.assign(tableCount, {});
    for (auto& t : s.Tables)
        if (!ReadTable(r, t)) return false;
    int32_t tb = 0;
    int32_t fb = 0;
    if (!r.I32(tb) || !r.I32(fb) || tb < 0 || fb < 0) return false;
    const uint64_t cells = (static_cast<uint64_t>(tb) + 1) * (static_cast<uint64_t>(fb) + 1);
    if (cells > bytes.size() / kMinPairBytes) return false;
    s.FieldPairs.Allocate(tb, fb);
    for (int32_t t = 0; t <= tb; ++t) {
        for (int32_t j = 0; j <= fb; ++j) {
            FieldPair& p = s.FieldPairs(t, j);
            if (!r.Text(p.InField) || !r.Text(p.OutField)) return false;
        }
    }
    // The counts must describe the arrays, or later walks would leave them.
    if (s.TableMax < 0 || s.FieldMax < 0 || s.TableCount < 0) return false;
    if (static_cast<uint32_t>(s.TableMax) >= tableCount || s.TableMax > tb || s.FieldMax > fb)
        return false;
    return r.AtEnd();
}

}  // namespace vantrel
