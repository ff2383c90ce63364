#include "editor/ImportMethod.h"

#include "common/TextCase.h"
#include "editor/MethodPreview.h"
#include "editor/TablePairs.h"
#include "editor/UndoHistory.h"
#include "sources/DelimitedText.h"
#include "sources/FieldPairMaintenance.h"
#include "sources/SourceCatalog.h"

namespace vantrel {

namespace {

// Design-time places (twips) of the controls that move when the dialog is shortened.
constexpr int32_t kFrame1Top = 120;
constexpr int32_t kFrame1Height = 1335;
constexpr int32_t kFrame2Top = 1560;
constexpr int32_t kFrame2Height = 4455;
constexpr int32_t kCmdupdtTop = 6120;
constexpr int32_t kCmdupdtHeight = 495;
constexpr int32_t kDesignHeight = 7260;

constexpr std::string_view kAsDataCaption = "行目をﾃﾞｰﾀとしてもｲﾝﾎﾟｰﾄする";
constexpr std::string_view kRowCaption = "行目";
constexpr std::string_view kTextFocus = "Text1";

PreviewSource PreviewSourceFor(MethodInput input) {
    switch (input) {
        case MethodInput::Csv:
        case MethodInput::Txt:
            return PreviewSource::Text;
        case MethodInput::Xls:
            return PreviewSource::Workbook;
        case MethodInput::Database:
            return PreviewSource::Database;
        case MethodInput::NoInput:
        case MethodInput::Other:
            break;
    }
    return PreviewSource::None;
}

// Every piece of `text` cut at `separator`, empty pieces included.
std::vector<std::string_view> Parts(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t cut = text.find(separator, pos);
        parts.push_back(text.substr(pos, cut == std::string_view::npos ? cut : cut - pos));
        if (cut == std::string_view::npos) return parts;
        pos = cut + 1;
    }
}

}  // namespace

MethodInput MethodInputOf(const std::string& inputPath) {
    if (inputPath.empty()) return MethodInput::NoInput;
    const std::string tail =
        LowerCase(inputPath.size() >= 3 ? inputPath.substr(inputPath.size() - 3) : inputPath);
    if (tail == "csv") return MethodInput::Csv;
    if (tail == "txt") return MethodInput::Txt;
    if (tail == "xls" || FileKindOf(inputPath) == FileKind::ExcelWorkbook) return MethodInput::Xls;
    if (tail == "mdb" || tail == "mde" || FileKindOf(inputPath) == FileKind::SqliteDatabase)
        return MethodInput::Database;
    return MethodInput::Other;
}

std::string SkipRowsProblem(std::string_view text, bool allowZero) {
    // Only what the reader expands counts as numeric, so a stored list never loses an entry.
    std::vector<int64_t> values;
    for (const std::string_view entry : Parts(text, ',')) {
        if (entry.empty()) continue;
        for (const std::string_view part : Parts(entry, '-')) {
            if (!ToRowNumber(part, values.emplace_back())) return std::string(kMalformedSkipRows);
        }
    }
    for (const int64_t value : values)
        if (value == 0 && !allowZero) return std::string(kSkipRowsBelowOne);
    return {};
}

ImportMethodForm DesignMethodForm() {
    ImportMethodForm form;
    form.Height = kDesignHeight;
    form.Frame1.Top = kFrame1Top;
    form.Frame1.Height = kFrame1Height;
    form.Frame2.Top = kFrame2Top;
    form.Frame2.Height = kFrame2Height;
    form.Option2[0].Caption = "旧レコードを削除して追加(新規)";
    form.Option2[1].Caption = "旧レコートの後に追加(追加)";
    form.Option2[2].Caption = "旧レコードの昇順に更新(更新)";
    form.Label1.Caption = "ｲﾝﾎﾟｰﾄしない行　例)　2-4,6";
    form.Check2.Caption = "見出しなし";
    form.Check1.Caption = "見出し(1行目)をﾃﾞｰﾀとしてもｲﾝﾎﾟｰﾄする";
    form.Label3.Caption = "1行目";
    form.Label2.Caption = "区切り文字";
    form.CmdOK.Caption = "見出し行は？";
    form.Cmdupdt.Caption = "更　新";
    form.Cmdupdt.Top = kCmdupdtTop;
    form.Cmdupdt.Height = kCmdupdtHeight;
    return form;
}

TableSetting* ImportMethod::Pair() {
    const int32_t t = state_.CurrentTable;
    ImportDefinition& def = state_.Definition;
    if (t < 1 || t >= static_cast<int32_t>(def.Tables.size())) return nullptr;
    return &def.Table(t);
}

void ImportMethod::Load() {
    form_ = DesignMethodForm();
    form_.Enabled = false;
    fieldPanel_.Busy = true;
    input_ = MethodInputOf(state_.Definition.InputPath);
    const TableSetting* pair = Pair();
    if (pair == nullptr) {
        form_.Enabled = true;
        return;
    }
    form_.Caption = pair->InTable + "ｲﾝﾎﾟｰﾄ方法";
    for (std::size_t i = 0; i < form_.Option2.size(); ++i)
        form_.Option2[i].Value = static_cast<int32_t>(i) == pair->WriteMode;
    form_.List1.Items.clear();
    form_.Check2.Visible = false;
    // The box holds the delimiter for every input, shown or not, so that applying the method
    // of a workbook or database pair does not wipe it.
    form_.Text2.Text = pair->Delimiter;

    switch (input_) {
        case MethodInput::Csv:
        case MethodInput::Txt:
        case MethodInput::Xls:
            form_.Check2.Visible = true;
            form_.Text1.Text = pair->SkipRows;
            ShowHeaderRowNumber(pair->HeaderRow);
            form_.Check1.Value = pair->HeaderAsData != 0;
            form_.Check1.Visible = true;
            form_.CmdOK.Visible = true;
            form_.Text2.Visible = form_.Label2.Visible = input_ == MethodInput::Txt;
            break;
        case MethodInput::Database:
            form_.Text1.Text = pair->SkipRows;
            form_.Check1.Value = pair->HeaderAsData != 0;
            form_.Check1.Visible = form_.Text2.Visible = form_.Label2.Visible =
                form_.CmdOK.Visible = false;
            break;
        case MethodInput::Other:
            form_.Frame2.Visible = false;
            form_.Cmdupdt.Top = form_.Frame1.Top + form_.Frame1.Height + 20;
            form_.Height = form_.Cmdupdt.Top + form_.Cmdupdt.Height + 550;
            break;
        case MethodInput::NoInput:
            break;
    }
    if (form_.Check2.Visible) {
        form_.Check2.Value = pair->HeaderRow == 0;
        if (form_.Check2.Value) form_.Check1.Enabled = false;
    }
    form_.List1.Items =
        ReadPreview(engine_, state_.Definition.InputPath, PreviewSourceFor(input_), pair->InTable);
    form_.Enabled = true;
}

void ImportMethod::Unload() {
    fieldPanel_.Busy = false;
}

void ImportMethod::ShowHeaderRowNumber(int32_t row) {
    const std::string number = std::to_string(row);
    form_.Check1.Caption = number + std::string(kAsDataCaption);
    form_.Label3.Caption = number + std::string(kRowCaption);
}

void ImportMethod::ShowHeaderRow() {
    const TableSetting* pair = Pair();
    if (pair == nullptr) return;
    TableSetting copy = *pair;
    copy.SkipRows = form_.Text1.Text;
    DefaultHeaderRow(copy, state_.Definition.InputPath, form_.Check2.Value);
    ShowHeaderRowNumber(copy.HeaderRow);
}

void ImportMethod::Option2Click(int index) {
    if (index < 0 || index >= static_cast<int>(form_.Option2.size())) return;
    for (std::size_t i = 0; i < form_.Option2.size(); ++i)
        form_.Option2[i].Value = static_cast<int>(i) == index;
}

void ImportMethod::Check2Click(bool ticked) {
    form_.Check2.Value = ticked;
    ShowHeaderRow();
    form_.Check1.Enabled = !ticked;
}

void ImportMethod::CmdOKClick() {
    if (form_.Check2.Value || form_.Text1.Text.empty()) return;
    if (ValidateText1()) ShowHeaderRow();
}

bool ImportMethod::ValidateText1() {
    const std::string problem = SkipRowsProblem(form_.Text1.Text, input_ == MethodInput::Xls);
    if (problem.empty()) return true;
    prompt_.ShowMessage(problem, std::string(kTextFocus));
    return false;
}

MethodApplyResult ImportMethod::CmdupdtClick() {
    MethodApplyResult result;
    state_.Errors.Clear();
    if (!form_.Text1.Text.empty() && !ValidateText1()) return result;
    TableSetting* pair = Pair();
    if (pair != nullptr) {
        PushUndo(state_, fieldPanel_);
        const TableSetting before = *pair;
        pair->HeaderAsData = form_.Check1.Value ? 1 : 0;
        pair->SkipRows = form_.Text1.Text;
        // A write mode no button shows (a hand-edited definition) stays as it was rather than
        // turning into an update of the old records.
        for (std::size_t i = 0; i < form_.Option2.size(); ++i)
            if (form_.Option2[i].Value) pair->WriteMode = static_cast<int32_t>(i);
        pair->Delimiter = form_.Text2.Text;
        DefaultHeaderRow(*pair, state_.Definition.InputPath, form_.Check2.Value);

        if (pair->HeaderRow != before.HeaderRow) {
            const int32_t t = state_.CurrentTable;
            ImportDefinition& def = state_.Definition;
            // An empty first position makes the check below map the new fields by name.
            if (def.FieldPairs.Contains(t, 1)) def.FieldPairs(t, 1) = FieldPair{};
            RefreshPairFields(state_, t, kCheckMapping, fields_);
            state_.FieldsChanged = true;
            result.ReloadFields = true;
        }
    }
    result.ShowErrorWindow = result.CmdErrEnabled = !state_.Errors.Empty();
    result.Close = true;
    Unload();
    return result;
}

}  // namespace vantrel
