#include "FileDialogs.h"

#include <QFileDialog>

namespace vantrel::gui {

namespace {

const char* kInputFilter =
    "ﾌｧｲﾙ(mdb mde accdb accdr xls csv) (*.mdb *.mde *.xls *.xlsx *.xlsm *.txt *.csv *.accdb "
    "*.accdr);;Excel (*.xls *.xlsx *.xlsm);;SQLite (*.sqlite *.sqlite3 *.db)";
const char* kOutputFilter =
    "ﾌｧｲﾙ(mdb mde accdb accdr) (*.mdb *.mde *.accdb *.accdr);;SQLite (*.sqlite *.sqlite3 *.db)";
const char* kDefinitionFilter = "imp (*.imp)";

std::optional<std::string> Chosen(const QString& path) {
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

}  // namespace

std::optional<std::string> QtFileDialogs::AskDataFile(int side) {
    return Chosen(QFileDialog::getOpenFileName(owner_, side == 1 ? "入力ファイル" : "出力ファイル",
                                               QString(),
                                               side == 1 ? kInputFilter : kOutputFilter));
}

std::optional<std::string> QtFileDialogs::AskSavePath(const std::string& title,
                                                      const std::string& proposed) {
    return Chosen(QFileDialog::getSaveFileName(owner_, QString::fromStdString(title),
                                               QString::fromStdString(proposed),
                                               kDefinitionFilter));
}

std::optional<std::string> QtFileDialogs::AskOpenPath(const std::string& title,
                                                      const std::string& proposed) {
    return Chosen(QFileDialog::getOpenFileName(owner_, QString::fromStdString(title),
                                               QString::fromStdString(proposed), kDefinitionFilter,
                                               nullptr, QFileDialog::ReadOnly));
}

}  // namespace vantrel::gui
