#include "editor/DefinitionCommands.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "common/TextCase.h"
#include "model/DefinitionFile.h"

namespace vantrel {

namespace {

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t pos = text.find(from); pos != std::string::npos;
         pos = text.find(from, pos + to.size())) {
        text.replace(pos, from.size(), to);
    }
    return text;
}

// A name typed without any extension gets the definition's own, so that the open dialog's
// filter and the command line find the file again.
std::string WithDefinitionSuffix(const std::string& path) {
    const std::string name = FileNameOf(path);
    return name.empty() || name.find('.') != std::string::npos ? path : path + ".imp";
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

}  // namespace

bool LooksLikeDefinitionFile(const std::string& path) {
    return path.size() >= 3 && LowerCase(path.substr(path.size() - 3)) == "imp";
}

bool DefinitionCommands::SaveDefinition() {
    panel_.Busy = true;
    dialogFile_ = ReplaceAll(dialogFile_, ".txt", ".imp");
    const auto chosen = dialogs_.AskSavePath("ｲﾝﾎﾟｰﾄ方法を保存する", dialogFile_);
    bool saved = false;
    if (chosen && !chosen->empty()) {
        const std::string path = WithDefinitionSuffix(*chosen);
        // The dialog asked about the name as typed; a file under the completed name is asked
        // about here.
        const bool replace = path == *chosen || !Exists(path) ||
                             prompt_.AskYesNo(path + " は既にあります。\n上書きしますか？");
        if (replace) {
            dialogFile_ = path;
            saved = SaveDefinitionFile(path, state_.Definition, nowVer_, state_.Errors);
            if (!saved) prompt_.ShowErrorWindow();
        }
    }
    panel_.Busy = false;
    return saved;
}

void DefinitionCommands::ResetDefinition() {
    if (state_.Definition.Modified && prompt_.AskYesNo("現在編集中のｲﾝﾎﾟｰﾄ方法を保存しますか？"))
        SaveDefinition();
    caption_ = "Vantrel";
    state_.Definition.ClearArrays();
    panel_.Grid.SetRowCount(0);
    for (int side : {kOutputSide, kInputSide}) {
        (side == kOutputSide ? state_.Definition.OutputPath : state_.Definition.InputPath).clear();
        state_.SideFolder[static_cast<std::size_t>(side)].clear();
        state_.SideFileName[static_cast<std::size_t>(side)].clear();
        panel_.Lists[static_cast<std::size_t>(side)].Clear();
    }
    state_.Errors.Clear();
    state_.Definition.Modified = false;
}

void DefinitionCommands::NewDefinition() {
    if (state_.Definition.Modified && prompt_.AskYesNo("ｲﾝﾎﾟｰﾄ方法を保存しますか?"))
        SaveDefinition();
    ResetDefinition();
}

bool DefinitionCommands::OpenDefinition(std::string startFile) {
    ResetDefinition();
    panel_.Busy = true;
    bool opened = false;
    std::string path;
    if (!startFile.empty()) {
        if (!LooksLikeDefinitionFile(startFile)) {
            state_.Errors.AddErrorLine("ﾌｧｲﾙの種類が違います");
        } else {
            path = startFile;
        }
    } else if (const auto chosen = dialogs_.AskOpenPath("定義ファイルを開く", dialogFile_);
               chosen && !chosen->empty()) {
        path = *chosen;
    } else {
        panel_.Busy = false;
        return false;
    }
    if (!path.empty()) {
        dialogFile_ = path;
        state_.DefinitionName = FileNameOf(path);
        ImportDefinition& def = state_.Definition;
        ReadDefinitionFile(path, def, state_.Errors);
        caption_ = "Vantrel [" + state_.DefinitionName + "]";
        SplitPath(state_, kOutputSide, def.OutputPath);
        SplitPath(state_, kInputSide, def.InputPath);
        // Pairs without an output table are left out; the others close up, each keeping its
        // import method and field pairs, so grid row r shows pair r + 1.
        MappingGrid& grid = panel_.Grid;
        grid.SetRowCount(0);
        const int32_t pairs = def.UsableTableCount();
        for (int32_t t = 1; t <= pairs; ++t) {
            if (def.Table(t).OutTable.empty()) continue;
            grid.AddRow();
            const int32_t r = grid.Rows();
            for (int col : {0, 1}) {
                grid.Cell(r - 1, col).Text =
                    col == 0 ? def.Table(t).OutTable : def.Table(t).InTable;
                grid.Cell(r - 1, col).BackColor = kWindowBackground;
            }
            if (r != t) {
                def.Table(r) = std::move(def.Table(t));
                def.Table(t) = TableSetting{};
                def.FieldPairs.SwapSlots(r, t);
            }
            def.Table(r).FieldSlot = r;
        }
        def.TableCount = grid.Rows();
        catalog_.ListTables(kOutputSide, false);
        catalog_.ListTables(kInputSide, false);
        state_.Definition.Modified = false;
        opened = true;
    }
    if (!state_.Errors.Empty()) prompt_.ShowErrorWindow();
    panel_.Busy = false;
    return opened;
}

}  // namespace vantrel
