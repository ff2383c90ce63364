#pragma once

#include <cstdint>
#include <string>

#include "model/ImportDefinition.h"

namespace vantrel {

// Layout arithmetic of the mapping windows, in twips. The windows measure text and convert
// twips to pixels; everything else is decided here so both windows place things alike.

// Rounds to the nearest whole number, halves to the even neighbour.
int32_t RoundHalfEven(double value);

// Width each of the two grid columns gets; the current width when the grid has no rows or no
// measurable row height. A scroll bar needs room when fewer rows fit than the grid holds.
int32_t FitGridColumns(int32_t gridWidth, int32_t gridHeight, int32_t rowHeight, int32_t rows,
                       int32_t currentWidth);

struct TextBoxPlace {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
};

// The main window's path line: the output path, then "  <--  " and the input path when chosen.
std::string PathLineText(const ImportDefinition& def);
// Placed 40 below the output list, as wide as its text plus a margin unless that reaches the
// frame, centred in the frame.
TextBoxPlace PlacePathLine(int32_t textWidth, int32_t listTop, int32_t listHeight,
                           int32_t frameWidth, int32_t innerWidth);

// The field settings window's line naming the pair shown; a text input's table is its file,
// so its name is not repeated.
std::string PairLineText(const ImportDefinition& def, int32_t t);
// Placed 100 below the output list, as wide as its text plus a margin within the client area.
TextBoxPlace PlacePairLine(int32_t textWidth, int32_t listTop, int32_t listHeight,
                           int32_t clientWidth);

}  // namespace vantrel
