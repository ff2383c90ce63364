#include "editor/GridLayout.h"

#include <cmath>

#include "common/TextCase.h"

namespace vantrel {

int32_t RoundHalfEven(double value) {
    return static_cast<int32_t>(std::nearbyint(value));  // default rounding mode: to even
}

int32_t FitGridColumns(int32_t gridWidth, int32_t gridHeight, int32_t rowHeight, int32_t rows,
                       int32_t currentWidth) {
    if (rows <= 0 || rowHeight <= 0) return currentWidth;
    const int32_t visible = RoundHalfEven(static_cast<double>(gridHeight) / rowHeight + 0.5) - 1;
    const int32_t margin = visible < rows ? 450 : 150;
    return RoundHalfEven(static_cast<double>(gridWidth - margin) / 2.0);
}

std::string PathLineText(const ImportDefinition& def) {
    if (def.InputPath.empty()) return def.OutputPath;
    return def.OutputPath + "  <--  " + def.InputPath;
}

TextBoxPlace PlacePathLine(int32_t textWidth, int32_t listTop, int32_t listHeight,
                           int32_t frameWidth, int32_t innerWidth) {
    TextBoxPlace place;
    place.Top = listTop + listHeight + 40;
    place.Width = textWidth + 100 < frameWidth - 20 ? textWidth + 100 : innerWidth - 20;
    place.Left = RoundHalfEven(static_cast<double>(frameWidth - place.Width) / 2.0);
    return place;
}

std::string PairLineText(const ImportDefinition& def, int32_t t) {
    const bool exists = t >= 1 && t < static_cast<int32_t>(def.Tables.size());
    const TableSetting none;
    const TableSetting& pair = exists ? def.Table(t) : none;
    std::string text = def.OutputPath + "(" + pair.OutTable + ")";
    if (def.InputPath.empty()) return text;
    text += "  <--  " + def.InputPath;
    const std::string tail = LowerCase(
        def.InputPath.size() >= 3 ? def.InputPath.substr(def.InputPath.size() - 3) : def.InputPath);
    if (tail != "csv" && tail != "txt") text += "(" + pair.InTable + ")";
    return text;
}

TextBoxPlace PlacePairLine(int32_t textWidth, int32_t listTop, int32_t listHeight,
                           int32_t clientWidth) {
    TextBoxPlace place;
    place.Top = listTop + listHeight + 100;
    place.Width = textWidth + 100 < clientWidth - 20 ? textWidth + 100 : clientWidth - 20;
    place.Left = RoundHalfEven(static_cast<double>(clientWidth - place.Width) / 2.0);
    return place;
}

}  // namespace vantrel
