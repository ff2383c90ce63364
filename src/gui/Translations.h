#pragma once

namespace vantrel::gui {

// Makes Qt's own texts Japanese: the standard buttons of message boxes ("はい(&Y)", "いいえ(&N)"),
// the file dialogs and the text editing menus, with Japanese number and date formats. False when
// Qt's Japanese translation is not installed; the program then shows Qt's English texts.
bool InstallJapaneseTranslations();

}  // namespace vantrel::gui
