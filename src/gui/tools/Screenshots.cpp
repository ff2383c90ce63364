// vantrel-screenshots DIR: builds the demo definition in the real windows and saves a picture
// of each window into DIR, so a person can review the look.
#include <sqlite3.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "ImportProgress.h"
#include "MainWindow.h"
#include "Translations.h"

using namespace vantrel;
using namespace vantrel::gui;

namespace {

struct Quiet : UserPrompt {
    bool AskYesNo(const std::string&) override { return true; }
    void ShowMessage(const std::string&, const std::string&) override {}
    void ShowErrorWindow() override {}
};

struct DemoFiles : FileDialogs {
    std::string Output, Input;
    std::optional<std::string> AskDataFile(int side) override { return side == 0 ? Output : Input; }
    std::optional<std::string> AskSavePath(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> AskOpenPath(const std::string&, const std::string&) override {
        return std::nullopt;
    }
};

void Save(QWidget* w, const QDir& dir, const char* name) {
    QApplication::processEvents();
    const QString path = dir.filePath(name);
    if (w->grab().save(path)) std::printf("%s\n", path.toUtf8().constData());
}

template <typename T>
T* Find(QWidget* w, const char* name) {
    return w->findChild<T*>(QString::fromUtf8(name));
}

// Saves the next modal window of type T once it is up, then lets `done` close it.
template <typename T>
void SaveNextModal(const QDir& dir, const char* name, std::function<void(T*)> done) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto* modal = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!modal) return;
        timer->stop();
        timer->deleteLater();
        Save(modal, dir, name);
        done(modal);
    });
    timer->start();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    InstallJapaneseTranslations();
    if (argc < 3) {
        std::fprintf(stderr, "usage: vantrel-screenshots DIR EXAMPLES_DIR\n");
        return 2;
    }
    const QDir out(argv[1]);
    const QDir examples(argv[2]);
    QDir().mkpath(out.path());
    const std::string database = out.filePath("demo.sqlite").toStdString();
    std::remove(database.c_str());
    std::ifstream schemaFile(examples.filePath("schema.sql").toStdString());
    std::stringstream schema;
    schema << schemaFile.rdbuf();
    sqlite3* db = nullptr;
    sqlite3_open(database.c_str(), &db);
    sqlite3_exec(db, schema.str().c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(db);

    SessionState state;
    MainWindow window(state);
    Quiet quiet;
    DemoFiles files;
    files.Output = database;
    files.Input = examples.filePath("customers.csv").toStdString();
    window.SetPrompt(&quiet);
    window.SetFileDialogs(&files);
    window.StartUp(QString());
    window.show();
    Find<QPushButton>(&window, "CmdOut")->click();
    Find<QPushButton>(&window, "CmdIn")->click();
    Find<QPushButton>(&window, "CmdSendOut")->click();
    Save(&window, out, "1-main-window.png");

    Find<QPushButton>(&window, "CmdFieldSet")->click();
    QWidget* fields = Find<QWidget>(&window, "Form2");
    if (fields) Save(fields, out, "2-field-settings.png");
    if (fields) Find<QPushButton>(fields, "CmdSetei")->click();
    if (QWidget* method = Find<QWidget>(&window, "Form3")) {
        Save(method, out, "3-import-method.png");
        method->close();
    }
    if (fields) fields->close();

    state.Errors.SetRow(12);
    for (int i = 0; i < 40; ++i)
        state.Errors.AddErrorLine("売上金額->売上金額 ：データ型変換エラーです。(顧客.売上金額)");
    state.Errors.SetRow(0);
    state.Errors.AddErrorLine("備考は入力フィールドの指定がないため移行されませんでした");
    window.ShowErrors();
    if (QWidget* errors = Find<QWidget>(&window, "Form4")) Save(errors, out, "4-error-window.png");
    Find<QAction>(&window, "バーション")->trigger();
    if (QWidget* box = Find<QWidget>(&window, "Form5")) Save(box, out, "5-version-box.png");

    ImportProgress progress(&window);
    progress.ShowTransfer(TransferProgress{1, 2, "顧客", "customers", 12000});
    Save(&progress, out, "6-import-progress.png");
    progress.Finish();

    // Qt's own dialogs, in Japanese: the file dialog (cancelled) and the save question (No).
    window.SetFileDialogs(nullptr);
    SaveNextModal<QFileDialog>(out, "7-file-dialog.png", [](QFileDialog* d) { d->reject(); });
    Find<QPushButton>(&window, "CmdOut")->click();
    window.SetPrompt(nullptr);
    SaveNextModal<QMessageBox>(out, "8-message-box.png",
                               [](QMessageBox* b) { b->button(QMessageBox::No)->click(); });
    state.Definition.Modified = true;
    window.close();
    return 0;
}
