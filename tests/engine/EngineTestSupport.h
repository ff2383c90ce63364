#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "sources/engine/Engine.h"

namespace vantrel::test {

inline std::vector<std::string> UserTables(Database& db) {
    std::vector<std::string> names;
    for (const auto& t : db.TableDefs()) {
        if (t.Attributes == 0) names.push_back(t.Name);
    }
    return names;
}

// Every row of a table, each value as its kind and text.
inline std::vector<std::vector<std::string>> AllRows(Database& db, const std::string& table,
                                                     ErrorState& error) {
    std::vector<std::vector<std::string>> rows;
    auto rs = db.OpenRecordset(table);
    EXPECT_TRUE(rs) << table << ": " << error.Description;
    if (!rs) return rows;
    while (!rs->Eof()) {
        std::vector<std::string> row;
        for (int32_t i = 0; i < rs->FieldCount(); ++i) {
            const Value v = rs->GetValue(i);
            row.push_back(std::to_string(static_cast<int>(v.kind())) + ":" + v.ToText());
        }
        rows.push_back(std::move(row));
        rs->MoveNext();
    }
    EXPECT_FALSE(error.IsSet()) << table << ": " << error.Description;
    return rows;
}

}  // namespace vantrel::test
