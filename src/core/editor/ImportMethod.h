#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "editor/FieldLister.h"
#include "editor/MappingPanel.h"
#include "import/UserPrompt.h"
#include "model/SessionState.h"
#include "sources/engine/Engine.h"

namespace vantrel {

// The input as the import method dialog tells it apart: by the last three characters of the
// input path, lower-cased. Database covers mdb and mde, and the program's own SQLite files;
// accdb and accdr fall under Other, for which the dialog offers only the write mode.
enum class MethodInput { NoInput, Csv, Txt, Xls, Database, Other };
MethodInput MethodInputOf(const std::string& inputPath);

// The messages the dialog gives for a malformed list of rows not to import.
inline constexpr std::string_view kMalformedSkipRows = "非インポート行の指定がおかしいです";
inline constexpr std::string_view kSkipRowsBelowOne = "非インポート行は 1以上の数字にして下さい";

// The message a list of rows not to import earns, empty when it is valid: every part of every
// entry numeric, and none 0 unless `allowZero` (the dialog allows 0 for workbooks).
std::string SkipRowsProblem(std::string_view text, bool allowZero);

// One control of the dialog as the window shows it. Top and Height (twips) matter only for the
// frames and the apply button, which move when the dialog is shortened.
struct MethodControl {
    std::string Caption;
    bool Visible = true;
    bool Enabled = true;
    int32_t Top = 0;
    int32_t Height = 0;
};
struct MethodCheck : MethodControl {
    bool Value = false;  // ticked, or the selected option button
};
struct MethodTextBox : MethodControl {
    std::string Text;
};
struct MethodList : MethodControl {
    std::vector<std::string> Items;
};

// Every control of the dialog "インポート方法" with its content and state.
struct ImportMethodForm {
    std::string Caption = "インポート方法";
    bool Enabled = true;
    int32_t Height = 0;

    MethodControl Frame1;                // the write-mode buttons
    std::array<MethodCheck, 3> Option2;  // index = WriteMode
    MethodControl Frame2;                // header, rows, delimiter and preview
    MethodControl Label1;
    MethodTextBox Text1;   // rows not to import
    MethodCheck Check2;    // "見出しなし"
    MethodCheck Check1;    // header row imported as data too
    MethodControl Label3;  // the header row number
    MethodControl Label2;
    MethodTextBox Text2;    // delimiter
    MethodControl CmdOK;    // "見出し行は？"
    MethodList List1;       // preview
    MethodControl Cmdupdt;  // "更　新"
};

// The dialog as designed, before it is loaded.
ImportMethodForm DesignMethodForm();

// What the field settings window must do once "更　新" has run.
struct MethodApplyResult {
    bool Close = false;            // the dialog is unloaded (false: it stays open, nothing stored)
    bool ReloadFields = false;     // show the pair's grid and lists anew, then Enabled_Switch
    bool ShowErrorWindow = false;  // the error window, owned by the main window
    bool CmdErrEnabled = false;    // the field settings window's error button
};

// The import method dialog for pair CurrentTable, opened from the field settings window, which
// it keeps disabled while it is open. The window renders Form() and forwards its events here.
class ImportMethod {
  public:
    ImportMethod(SessionState& state, Engine& engine, FieldLister& fields, MappingPanel& fieldPanel,
                 UserPrompt& prompt)
        : state_(state),
          engine_(engine),
          fields_(fields),
          fieldPanel_(fieldPanel),
          prompt_(prompt) {}

    const ImportMethodForm& Form() const { return form_; }
    MethodInput Input() const { return input_; }

    void Load();
    // Closing any way; by the close box nothing is stored.
    void Unload();

    void Option2Click(int index);
    void Text1Change(std::string text) { form_.Text1.Text = std::move(text); }
    void Text2Change(std::string text) { form_.Text2.Text = std::move(text); }
    void Check1Click(bool ticked) { form_.Check1.Value = ticked; }
    void Check2Click(bool ticked);
    void Check1GotFocus() { ShowHeaderRow(); }
    void Text1LostFocus() { ShowHeaderRow(); }
    void CmdOKClick();
    MethodApplyResult CmdupdtClick();

  private:
    TableSetting* Pair();
    void ShowHeaderRowNumber(int32_t row);
    // The header row the boxes would give, shown but not stored.
    void ShowHeaderRow();
    bool ValidateText1();

    SessionState& state_;
    Engine& engine_;
    FieldLister& fields_;
    MappingPanel& fieldPanel_;
    UserPrompt& prompt_;
    ImportMethodForm form_ = DesignMethodForm();
    MethodInput input_ = MethodInput::NoInput;
};

}  // namespace vantrel
