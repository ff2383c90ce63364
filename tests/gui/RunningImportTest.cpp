// The main window while an import runs on its own thread: what stays inert, closing and
// cancelling, and what the undo button keeps.
#include <QLabel>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>

#include "GuiSuites.h"
#include "GuiSupport.h"
#include "ImportProgress.h"

using namespace vantrel;
using test::Child;
using test::Click;
using test::OpenWindow;

namespace {

constexpr const char* kConfirmation = "へインポートを開始します";
constexpr const char* kStopQuestion = "ｲﾝﾎﾟｰﾄ中です。中止して終了しますか？";

bool IsConfirmation(const std::string& question) {
    return question.find(kConfirmation) != std::string::npos;
}

// The progress window when it is on screen.
QWidget* VisibleProgress(QWidget* window) {
    auto* progress = window->findChild<QWidget*>("ImportProgress");
    return progress && progress->isVisible() ? progress : nullptr;
}

QPushButton* CancelButton(QWidget* progress) {
    for (QPushButton* b : progress->findChildren<QPushButton*>())
        if (b->text() == "中止") return b;
    return nullptr;
}

// A window with the pair DATA <- DATA ready to run into an empty output table.
struct ReadyToRun {
    test::TempDir dir;
    std::string output =
        test::MakeDatabase(dir, "out.sqlite", "CREATE TABLE DATA (CODE TEXT, NAME TEXT);");
    OpenWindow open;
    explicit ReadyToRun(const std::string& input = test::Fixture("text/DATA.CSV"))
        : open(output, input) {
        open.files.Definition = dir.File("def.imp");
        open.PairEverything();
    }
    int64_t Written() const { return test::Count(output, "SELECT count(*) FROM DATA"); }
};

}  // namespace

class RunningImportTest : public QObject {
    Q_OBJECT
  private slots:
    void TheMainWindowStaysInertUntilTheRunEnds();
    void ClosingDuringARunAsksWhetherToStopIt();
    void CancelWhileStagingStopsTheRun();
    void UndoIsKeptWhenNothingWasStaged();
    void TheProgressWindowKeepsItsWidthAndStaysUntilTheEnd();
};

void RunningImportTest::TheMainWindowStaysInertUntilTheRunEnds() {
    ReadyToRun r;
    gui::MainWindow& window = r.open.window;
    bool progressBeforeYes = true;
    r.open.answers.OnQuestion = [&](const std::string& question) {
        if (!IsConfirmation(question)) return;
        QCoreApplication::processEvents();
        progressBeforeYes = VisibleProgress(&window) != nullptr;
    };
    // The summary is shown while the run still holds the window: whatever re-applies the button
    // rules meanwhile (the window coming back to the front) must leave everything inert.
    bool bodyEnabled = true, menuEnabled = true, startEnabled = true;
    r.open.answers.OnMessage = [&](const std::string&) {
        window.activateWindow();
        QEvent activation(QEvent::ActivationChange);
        QApplication::sendEvent(&window, &activation);
        window.EnabledSwitch();
        bodyEnabled = window.centralWidget()->isEnabled();
        menuEnabled = window.menuBar()->isEnabled();
        startEnabled = Child<QPushButton>(&window, "CmdStart")->isEnabled();
    };
    Click(&window, "CmdStart");
    QCOMPARE(QString::fromStdString(r.open.answers.Messages.back()),
             QString("DATAを 3件 \n　　更新しました"));
    QVERIFY2(!progressBeforeYes, "the progress window came before the confirmation");
    QVERIFY(!bodyEnabled);
    QVERIFY(!menuEnabled);
    QVERIFY(!startEnabled);
    QCOMPARE(r.Written(), 3);
    QVERIFY(!VisibleProgress(&window));
    QVERIFY(window.centralWidget()->isEnabled());
    QVERIFY(window.menuBar()->isEnabled());
}

void RunningImportTest::ClosingDuringARunAsksWhetherToStopIt() {
    // The close box is used while the run waits for the confirmation's answer. Replies in the
    // order they are taken: backup, the stop question (asked inside the confirmation), the
    // confirmation, and the save question on the way out.
    {
        ReadyToRun r;
        const std::string work = r.open.state.WorkDbPath;
        r.open.answers.Replies = {false, true, true, false};
        bool closedAtOnce = true;
        r.open.answers.OnQuestion = [&](const std::string& question) {
            if (IsConfirmation(question)) closedAtOnce = test::CloseBox(&r.open.window);
        };
        Click(&r.open.window, "CmdStart");
        QVERIFY(!closedAtOnce);
        const auto& asked = r.open.answers.Questions;
        QCOMPARE(asked.size(), 4u);
        QCOMPARE(QString::fromStdString(asked[2]), QString(kStopQuestion));
        QCOMPARE(QString::fromStdString(asked[3]), QString("インポート定義を保存しますか?"));
        QCOMPARE(r.Written(), 0);
        QVERIFY(QString::fromStdString(r.open.state.Errors.Text()).contains("中止"));
        QVERIFY(!r.open.window.isVisible());
        QVERIFY(!std::filesystem::exists(work));
    }
    {
        // No: the run goes on to its end and the window stays.
        ReadyToRun r;
        r.open.answers.Replies = {false, false, true};
        r.open.answers.OnQuestion = [&](const std::string& question) {
            if (IsConfirmation(question)) test::CloseBox(&r.open.window);
        };
        Click(&r.open.window, "CmdStart");
        QCOMPARE(QString::fromStdString(r.open.answers.Questions[2]), QString(kStopQuestion));
        QCOMPARE(r.Written(), 3);
        QVERIFY(r.open.window.isVisible());
        QVERIFY(r.open.window.centralWidget()->isEnabled());
    }
}

void RunningImportTest::CancelWhileStagingStopsTheRun() {
    test::TempDir inputs;
    const int rows = VANTREL_SANITIZED ? 40000 : 150000;
    ReadyToRun r(test::MakeCsv(inputs, "DATA.csv", rows));
    QWidget* window = &r.open.window;
    bool clicked = false, stayed = false, cancelDisabled = false;
    QTimer poll;
    poll.setInterval(2);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* progress = VisibleProgress(window);
        QPushButton* cancel = progress ? CancelButton(progress) : nullptr;
        if (!cancel || !cancel->isEnabled()) return;
        poll.stop();
        cancel->click();
        clicked = true;
        // The window stays, saying so, until the run has really stopped.
        stayed = progress->isVisible();
        cancelDisabled = !cancel->isEnabled();
    });
    r.open.answers.OnQuestion = [&](const std::string& question) {
        if (IsConfirmation(question)) poll.start();
    };
    Click(window, "CmdStart");
    QVERIFY(clicked);
    QVERIFY(stayed);
    QVERIFY(cancelDisabled);
    QCOMPARE(r.open.answers.ErrorWindows, 1);
    QVERIFY(QString::fromStdString(r.open.state.Errors.Text()).contains("中止"));
    QCOMPARE(r.Written(), 0);
    const int64_t staged = test::Count(r.open.state.WorkDbPath, "SELECT count(*) FROM DATA");
    QVERIFY2(staged < rows, qPrintable(QString("%1 of %2 rows staged").arg(staged).arg(rows)));
    QVERIFY(!VisibleProgress(window));
}

void RunningImportTest::UndoIsKeptWhenNothingWasStaged() {
    test::TempDir inputs;
    const std::string input = inputs.File("DATA.CSV");
    std::filesystem::copy_file(test::Fixture("text/DATA.CSV"), input);
    ReadyToRun r(input);
    gui::MainWindow& window = r.open.window;
    auto* undo = Child<QToolButton>(&window, "CmdUndo");
    QVERIFY(undo->isEnabled());
    // No to the confirmation: nothing ran, the history stays.
    r.open.answers.Replies = {false, false};
    Click(&window, "CmdStart");
    QCOMPARE(r.open.answers.Questions.size(), 2u);
    QVERIFY(undo->isEnabled());
    // A failing path check: the same.
    std::filesystem::rename(input, input + ".away");
    Click(&window, "CmdStart");
    QVERIFY(QString::fromStdString(r.open.answers.Messages.back()).contains("は存在しません"));
    QVERIFY(undo->isEnabled());
    // A run that staged its input clears it.
    std::filesystem::rename(input + ".away", input);
    Click(&window, "CmdStart");
    QCOMPARE(r.Written(), 3);
    QVERIFY(!undo->isEnabled());
}

void RunningImportTest::TheProgressWindowKeepsItsWidthAndStaysUntilTheEnd() {
    QWidget owner;
    owner.show();
    gui::ImportProgress progress(&owner);
    QSignalSpy cancels(&progress, &gui::ImportProgress::cancelRequested);
    QVERIFY(!progress.isVisible());  // nothing before the run reports
    progress.ShowStaging(1000);
    QVERIFY(progress.isVisible());
    auto* label = Child<QLabel>(&progress, "Label1");
    QCOMPARE(label->text(), QString("入力ファイルを読み込んでいます… 1,000 行"));
    auto* cancel = Child<QPushButton>(&progress, "CmdCancel");
    const int width = progress.width();
    const QPoint button = cancel->mapTo(&progress, QPoint());
    const std::string longName = "とても長い名前の出力テーブル" + std::string(200, 'x');
    progress.ShowTransfer(TransferProgress{2, 3, longName, "入力", 123456});
    QCoreApplication::processEvents();
    QCOMPARE(progress.width(), width);
    QCOMPARE(cancel->mapTo(&progress, QPoint()), button);
    QVERIFY2(label->text().startsWith("[2/3] とても") && label->text().endsWith("123,456 行"),
             qPrintable(label->text()));
    // The close box and Esc ask for the cancel, as the button does; none of them closes it.
    QVERIFY(!test::CloseBox(&progress));
    QTest::keyClick(&progress, Qt::Key_Escape);
    cancel->click();
    QCOMPARE(cancels.count(), 3);
    QVERIFY(progress.isVisible());
    progress.ShowCancelling();
    QVERIFY(!cancel->isEnabled());
    progress.ShowTransfer(TransferProgress{3, 3, "t", "i", 5});  // a report still on its way
    QCOMPARE(label->text(), QString("中止しています…"));
    progress.Finish();
    QVERIFY(!progress.isVisible());
    progress.ShowStaging(2000);
    QVERIFY(!progress.isVisible());
}

std::unique_ptr<QObject> vantrel::test::MakeRunningImportTest() {
    return std::make_unique<RunningImportTest>();
}

#include "RunningImportTest.moc"
