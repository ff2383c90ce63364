// Shared pieces of the window tests: prepared answers, prepared file choices, a started window.
#pragma once

#include <QApplication>
#include <QCloseEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <deque>
#include <functional>

#include "MainWindow.h"
#include "SqliteSupport.h"
#include "TestSupport.h"

namespace vantrel::test {

// Answers the program's questions in order (Yes once the prepared replies run out) and keeps
// what was asked and shown. The hooks run while the box would be open.
struct Answers : UserPrompt {
    std::vector<std::string> Messages, Questions;
    std::deque<bool> Replies;
    std::function<void(const std::string&)> OnQuestion, OnMessage;
    int ErrorWindows = 0;
    bool AskYesNo(const std::string& q) override {
        Questions.push_back(q);
        if (OnQuestion) OnQuestion(q);
        if (Replies.empty()) return true;
        const bool reply = Replies.front();
        Replies.pop_front();
        return reply;
    }
    void ShowMessage(const std::string& m, const std::string&) override {
        Messages.push_back(m);
        if (OnMessage) OnMessage(m);
    }
    void ShowErrorWindow() override { ++ErrorWindows; }
};

struct Files : gui::FileDialogs {
    std::string Output, Input, Definition;
    std::optional<std::string> AskDataFile(int side) override { return side == 0 ? Output : Input; }
    std::optional<std::string> AskSavePath(const std::string&, const std::string&) override {
        return Definition;
    }
    std::optional<std::string> AskOpenPath(const std::string&, const std::string&) override {
        return Definition;
    }
};

template <typename T>
T* Child(QObject* w, const char* name) {
    T* child = w->findChild<T*>(QString::fromUtf8(name));
    if (!child) qFatal("no control %s", name);
    return child;
}

inline void Click(QWidget* w, const char* name) {
    QTest::mouseClick(Child<QAbstractButton>(w, name), Qt::LeftButton);
}

// A started, shown main window whose questions and file dialogs are answered by the test.
struct OpenWindow {
    SessionState state;
    gui::MainWindow window{state};
    Answers answers;
    Files files;
    bool started = false;
    OpenWindow(const std::string& output, const std::string& input) {
        files.Output = output;
        files.Input = input;
        window.SetPrompt(&answers);
        window.SetFileDialogs(&files);
        started = window.StartUp(QString());
        window.show();
    }
    // Chooses both files and sends every output table to the grid.
    void PairEverything() {
        Click(&window, "CmdOut");
        Click(&window, "CmdIn");
        Click(&window, "CmdSendOut");
    }
    QWidget* Find(const char* name) { return window.findChild<QWidget*>(QString::fromUtf8(name)); }
};

// A close request as the window manager sends it (its close box): to the platform window, so
// the widget goes through the whole closing path, deletion on close included.
inline bool CloseBox(QWidget* w) {
    QCloseEvent event;
    QApplication::sendEvent(w->windowHandle(), &event);
    return event.isAccepted();
}

// While it lives, hands the next modal window of type T (a message box, a file dialog) to
// `answer` as soon as it opens: used where the program shows a real box.
template <typename T = QMessageBox>
class WhenModalOpens {
  public:
    explicit WhenModalOpens(std::function<void(T*)> answer) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this, answer] {
            auto* modal = qobject_cast<T*>(QApplication::activeModalWidget());
            if (!modal) return;
            timer_.stop();
            answer(modal);
        });
        timer_.start();
    }

  private:
    QTimer timer_;
};

// A csv of `rows` data rows under the header "CODE,NAME".
inline std::string MakeCsv(const TempDir& dir, const char* name, int rows) {
    std::string csv = "CODE,NAME\r\n";
    for (int i = 1; i <= rows; ++i)
        csv += std::to_string(i) + ",name" + std::to_string(i) + "\r\n";
    WriteBytes(dir.File(name), csv);
    return dir.File(name);
}

// The first column of the first row `sql` gives, or -1.
inline int64_t Count(const std::string& database, const std::string& sql) {
    sqlite3* db = nullptr;
    int64_t n = -1;
    if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            n = sqlite3_column_int64(stmt, 0);
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return n;
}

}  // namespace vantrel::test
