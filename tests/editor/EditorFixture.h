#pragma once

#include <array>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "editor/FieldLister.h"
#include "editor/MappingOperations.h"
#include "editor/RowMoves.h"
#include "editor/UndoHistory.h"
#include "model/SessionState.h"

namespace vantrel {

inline void PrintTo(const FieldPair& f, std::ostream* os) {
    *os << "{In \"" << f.InField << "\", Out \"" << f.OutField << "\"}";
}

}  // namespace vantrel

namespace vantrel::test {

// Field names by side and table name, as the files would list them.
class FixedFields final : public FieldLister {
  public:
    std::array<std::map<std::string, std::vector<std::string>>, 2> Tables;

    void ListFields(int32_t t, int side, NameList& names) override {
        names.Clear();
        const auto& def = *definition;
        if (t < 1 || t >= static_cast<int32_t>(def.Tables.size())) return;
        const TableSetting& pair = def.Table(t);
        const auto& tables = Tables[static_cast<std::size_t>(side)];
        const auto hit = tables.find(side == kOutputSide ? pair.OutTable : pair.InTable);
        if (hit != tables.end()) names = NameList::From(hit->second);
    }

    const ImportDefinition* definition = nullptr;
};

// The texts of one grid column, top row first.
inline std::vector<std::string> ColumnTexts(const MappingGrid& grid, int col) {
    std::vector<std::string> names;
    for (int32_t r = 0; r < grid.Rows(); ++r)
        names.push_back(grid.Text(r, col));
    return names;
}

// A main window with its undo ring on disk and the fields of a few tables.
struct MainWindowFixture {
    TempDir dir;
    SessionState state;
    MappingPanel panel;
    GridPopup popup;
    FixedFields fields;
    MappingOperations ops{state, panel, EditorWindow::Main, fields};
    RowMoves moves{state, panel, popup};

    MainWindowFixture() {
        fields.definition = &state.Definition;
        state.Definition.OutputPath = "/d/out.mdb";
        state.Definition.InputPath = "/d/in.mdb";
        CreateUndoFiles(state, dir.Path());
    }

    // Output tables in List(0), input tables in List(1), slots for the output tables.
    void Lists(const std::vector<std::string>& out, const std::vector<std::string>& in) {
        for (const auto& n : out)
            panel.Lists[0].Add(n);
        for (const auto& n : in)
            panel.Lists[1].Add(n);
        state.Definition.Allocate(static_cast<int32_t>(out.size()), 0);
    }

    std::vector<std::string> Column(int col) const { return ColumnTexts(panel.Grid, col); }
    const std::vector<std::string>& Items(int side) const {
        return panel.Lists[static_cast<std::size_t>(side)].Items();
    }

    // Grid row r shows pair r + 1 with its own fields, and TableCount counts the rows. Returns
    // the first mismatch, empty when everything agrees.
    std::string Misalignment() const {
        const ImportDefinition& def = state.Definition;
        if (def.TableCount != panel.Grid.Rows())
            return "TableCount " + std::to_string(def.TableCount);
        for (int32_t r = 0; r < panel.Grid.Rows(); ++r) {
            const int32_t t = r + 1;
            const std::string where = "row " + std::to_string(r);
            if (t >= static_cast<int32_t>(def.Tables.size())) return where + ": no slot";
            const TableSetting& p = def.Table(t);
            if (p.OutTable != panel.Grid.Text(r, 0) || p.InTable != panel.Grid.Text(r, 1))
                return where + ": shows " + p.OutTable + "/" + p.InTable;
            if (p.FieldSlot != t) return where + ": FieldSlot " + std::to_string(p.FieldSlot);
            if (t > def.FieldPairs.TableBound()) return where + ": no field slot";
            // Fixture tables name their fields after the table, so a pair's fields show whose
            // they are.
            for (int32_t j = 1; j <= def.FieldMax; ++j) {
                const FieldPair& f = def.FieldPairs(t, j);
                if (!f.OutField.empty() && f.OutField.rfind(p.OutTable + ".", 0) != 0)
                    return where + ": field " + f.OutField;
                if (p.InTable.empty() && !f.InField.empty()) return where + ": fed without input";
            }
        }
        return {};
    }
};

}  // namespace vantrel::test
