#pragma once

#include <map>
#include <string>
#include <string_view>

namespace vantrel::access {

// What Access keeps of a column's design outside the table definition.
struct ColumnProperties {
    bool Required = false;
    bool AllowZeroLength = true;
    std::string DefaultValue;  // the expression as typed in Access, empty when none
};

// The column properties of a table's design property blob (the catalog's LvProp), by column
// name. An unreadable blob gives what could be read before the damage.
std::map<std::string, ColumnProperties> ReadColumnProperties(std::string_view blob);

}  // namespace vantrel::access
