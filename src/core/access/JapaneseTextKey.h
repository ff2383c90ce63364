#pragma once

// Where the Japanese sort order (LCID 1041 version 0) differs from General legacy: ideograph
// weights from its own table, ー after a kana letter as a kana unit, 々 after a kanji repeating
// it, and the characters whose Japanese key is not known. Internal to TextKey.cpp.

#include "access/TextKeyCore.h"

namespace vantrel::access::textkey {

UnitKey JapaneseUnit(char16_t unit, const Entry* previous, bool allowUnverified);

}  // namespace vantrel::access::textkey
