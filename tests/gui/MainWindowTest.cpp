// The windows, driven as a user would: buttons clicked, files chosen, questions answered.
#include <sqlite3.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <deque>

#include "ErrorWindow.h"
#include "GuiSuites.h"
#include "GuiSupport.h"

using namespace vantrel;
using namespace vantrel::gui;

using test::Answers;
using test::Child;
using test::Files;
using test::OpenWindow;

class MainWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void ControlsCarryTheirNamesAndCaptions();
    void AnImportFromChoosingFilesToTheSummary();
    void TheFieldSettingsWindowEditsOnePairWhileTheMainWindowWaits();
    void SmallWindowsKeepTheirLayout();
    void SaveResetReopenAndTheVersionBox();
    void DroppingAnInputTableAndSteppingBetweenPairs();
    void StartingWithADefinitionOnTheCommandLine();
};

void MainWindowTest::ControlsCarryTheirNamesAndCaptions() {
    SessionState state;
    MainWindow window(state);
    QCOMPARE(window.objectName(), QString("Form1"));
    QCOMPARE(window.windowTitle(), QString("Vantrel"));
    QCOMPARE(Child<QPushButton>(&window, "CmdOK")->text(), QString("終　了"));
    QCOMPARE(Child<QPushButton>(&window, "CmdStart")->text(), QString("ｲﾝﾎﾟｰﾄ開始(&S)"));
    QCOMPARE(Child<QPushButton>(&window, "CmdSendOut")->toolTip(),
             QString("選択されてなければ全て送る。又は選択した物を送る"));
    QCOMPARE(Child<QToolButton>(&window, "保存")->toolTip(), QString("ｲﾝﾎﾟｰﾄ方法を保存します"));
    Child<QListWidget>(&window, "List0");
    Child<QListWidget>(&window, "List1");
    QCOMPARE(Child<QTableWidget>(&window, "MSFlexGrid1")->columnCount(), 2);
    QStringList menus;
    for (QAction* a : window.menuBar()->actions())
        menus << a->text();
    QCOMPARE(menus, (QStringList{"ファイル(&F)", "ｴﾗｰ表示(&W)", "バーション(&V)"}));
    auto* unverified = Child<QAction>(&window, "CmdUnverifiedKeys");
    QCOMPARE(unverified->text(), QString("未確認の索引キーを許可する"));
    QVERIFY(unverified->isCheckable());
    QVERIFY(!unverified->isChecked());  // off at every start
    // Nothing chosen yet: only the output file can be chosen.
    QVERIFY(Child<QPushButton>(&window, "CmdOut")->isEnabled());
    QVERIFY(!Child<QPushButton>(&window, "CmdIn")->isEnabled());
    QVERIFY(!Child<QPushButton>(&window, "CmdStart")->isEnabled());
    QVERIFY(!Child<QToolButton>(&window, "保存")->isEnabled());
}

void MainWindowTest::AnImportFromChoosingFilesToTheSummary() {
    test::TempDir dir;
    const std::string output = test::MakeDatabase(
        dir, "out.sqlite", "CREATE TABLE DATA (CODE TEXT, NAME TEXT); CREATE TABLE other (x);");

    OpenWindow open(output, test::Fixture("text/DATA.CSV"));
    QVERIFY(open.started);
    SessionState& state = open.state;
    MainWindow& window = open.window;
    Answers& answers = open.answers;
    Files& files = open.files;

    QTest::mouseClick(Child<QPushButton>(&window, "CmdOut"), Qt::LeftButton);
    QCOMPARE(Child<QListWidget>(&window, "List0")->count(), 2);
    QVERIFY(Child<QPushButton>(&window, "CmdIn")->isEnabled());
    QTest::mouseClick(Child<QPushButton>(&window, "CmdIn"), Qt::LeftButton);
    QCOMPARE(Child<QListWidget>(&window, "List1")->item(0)->text(), QString("DATA"));
    // ">>" with nothing selected sends both output tables; DATA takes its input along.
    QTest::mouseClick(Child<QPushButton>(&window, "CmdSendOut"), Qt::LeftButton);
    auto* grid = Child<QTableWidget>(&window, "MSFlexGrid1");
    QCOMPARE(grid->rowCount(), 2);
    QCOMPARE(grid->item(0, 1)->text(), QString("DATA"));
    QCOMPARE(Child<QListWidget>(&window, "List1")->count(), 0);
    QCOMPARE(Child<QLineEdit>(&window, "Text1")->text(),
             QString::fromStdString(output + "  <--  " + files.Input));
    // A click marks the row of "other"; "<<" then returns only that row.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualItemRect(grid->item(1, 0)).center());
    QCOMPARE(grid->item(1, 0)->background().color(), QColor(0xC0, 0xC0, 0xFF));
    QTest::mouseClick(Child<QPushButton>(&window, "CmdBack0"), Qt::LeftButton);
    QCOMPARE(grid->rowCount(), 1);
    QCOMPARE(Child<QListWidget>(&window, "List0")->item(0)->text(), QString("other"));
    QCOMPARE(state.Definition.TableCount, 1);
    // The fields matched by name, so the import can start.
    auto* start = Child<QPushButton>(&window, "CmdStart");
    QVERIFY(start->isEnabled());
    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY2(!answers.Messages.empty(), state.Errors.Text().c_str());
    QCOMPARE(QString::fromStdString(answers.Messages.back()),
             QString("DATAを 3件 \n　　更新しました"));

    // Saving writes the definition the runner and the windows read.
    files.Definition = dir.File("saved.imp");
    QTest::mouseClick(Child<QToolButton>(&window, "保存"), Qt::LeftButton);
    QVERIFY(QFile::exists(QString::fromStdString(files.Definition)));
    QVERIFY(!state.Definition.Modified);

    // The error window shows the log with where each line happened.
    state.Errors.SetRow(7);
    state.Errors.AddErrorLine("テスト");
    window.ShowErrors();
    auto* errors = window.findChild<ErrorWindow*>("Form4");
    QVERIFY(errors);
    QCOMPARE(Child<QPlainTextEdit>(errors, "RichTextBox1")->toPlainText(),
             QString("テスト (7 行目)\n"));
    if (qEnvironmentVariableIsSet("VANTREL_SCREENSHOT")) {
        window.grab().save(qEnvironmentVariable("VANTREL_SCREENSHOT"));
    }
    window.close();
}

void MainWindowTest::TheFieldSettingsWindowEditsOnePairWhileTheMainWindowWaits() {
    test::TempDir dir;
    const std::string output = test::MakeDatabase(
        dir, "out.sqlite", "CREATE TABLE DATA (CODE TEXT, NAME TEXT, EXTRA TEXT);");
    OpenWindow open(output, test::Fixture("text/DATA.CSV"));
    QVERIFY(open.started);
    SessionState& state = open.state;
    MainWindow& window = open.window;
    Answers& answers = open.answers;
    QTest::mouseClick(Child<QPushButton>(&window, "CmdOut"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(&window, "CmdIn"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(&window, "CmdSendOut"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(&window, "CmdFieldSet"), Qt::LeftButton);
    auto* fields = window.findChild<QWidget*>("Form2");
    QVERIFY(fields);
    QCOMPARE(fields->windowTitle(), QString("フィールド設定"));
    QVERIFY(!window.centralWidget()->isEnabled());
    auto* grid = Child<QTableWidget>(fields, "MSFlexGrid1");
    QCOMPARE(grid->rowCount(), 2);
    QCOMPARE(grid->item(0, 0)->text(), QString("CODE"));
    QCOMPARE(Child<QListWidget>(fields, "List0")->item(0)->text(), QString("EXTRA"));
    // The import method dialog stores the write mode and lets the field window go on.
    QTest::mouseClick(Child<QPushButton>(fields, "CmdSetei"), Qt::LeftButton);
    auto* method = window.findChild<QWidget*>("Form3");
    QVERIFY(method);
    QCOMPARE(method->windowTitle(), QString("DATAｲﾝﾎﾟｰﾄ方法"));
    QVERIFY(!fields->isEnabled());
    QCOMPARE(Child<QListWidget>(method, "List1")->item(0)->text(), QString("1\tCODE,NAME"));
    Child<QRadioButton>(method, "Option2_1")->click();
    if (qEnvironmentVariableIsSet("VANTREL_SCREENSHOT")) {
        method->grab().save(qEnvironmentVariable("VANTREL_SCREENSHOT") + ".method.png");
    }
    QVERIFY(method->isEnabled());
    QVERIFY(Child<QRadioButton>(method, "Option2_1")->isChecked());
    QTest::mouseClick(Child<QPushButton>(method, "Cmdupdt"), Qt::LeftButton);
    QVERIFY2(answers.Messages.empty(),
             answers.Messages.empty() ? "" : answers.Messages.back().c_str());
    QCOMPARE(state.Definition.Table(1).WriteMode, WriteMode::Append);
    QVERIFY(fields->isEnabled());
    // Skipping row 1 moves the header to row 2: the field lists and mapping are read again.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!window.findChild<QWidget*>("Form3"));
    QTest::mouseClick(Child<QPushButton>(fields, "CmdSetei"), Qt::LeftButton);
    method = window.findChild<QWidget*>("Form3");
    QVERIFY(method);
    auto* skip = Child<QLineEdit>(method, "Text1");
    skip->setFocus();
    QTest::keyClicks(skip, "1");
    QTest::mouseClick(Child<QPushButton>(method, "Cmdupdt"), Qt::LeftButton);
    QCOMPARE(state.Definition.Table(1).SkipRows, "1");
    QCOMPARE(state.Definition.Table(1).HeaderRow, 2);
    auto* inputs = Child<QListWidget>(fields, "List1");
    QCOMPARE(inputs->count(), 2);
    QCOMPARE(inputs->item(0)->text(), QString("A1"));
    QCOMPARE(grid->rowCount(), 0);
    // Leaving writes the empty mapping back.
    QTest::mouseClick(Child<QPushButton>(fields, "CmdOK"), Qt::LeftButton);
    QVERIFY(window.centralWidget()->isEnabled());
    QVERIFY(state.Definition.FieldPairs(1, 1).OutField.empty());
    QVERIFY(!Child<QPushButton>(&window, "CmdStart")->isEnabled());
}

void MainWindowTest::SmallWindowsKeepTheirLayout() {
    SessionState state;
    MainWindow window(state);
    window.show();
    auto* grid = Child<QTableWidget>(&window, "MSFlexGrid1");
    window.resize(900, 600);
    QCoreApplication::processEvents();
    const QRect before = grid->geometry();
    window.resize(300, 200);  // below 6000 x 5000 twips: nothing moves
    QCoreApplication::processEvents();
    QCOMPARE(grid->geometry(), before);
    window.resize(1200, 800);
    QCoreApplication::processEvents();
    QVERIFY(grid->width() > before.width());
}

void MainWindowTest::SaveResetReopenAndTheVersionBox() {
    test::TempDir dir;
    const std::string output =
        test::MakeDatabase(dir, "out.sqlite", "CREATE TABLE DATA (CODE TEXT, NAME TEXT);");
    SessionState state;
    Answers answers;
    Files files;
    files.Output = output;
    files.Input = test::Fixture("text/DATA.CSV");
    files.Definition = dir.File("def.imp");
    std::string work;
    std::array<std::string, 5> undo;
    {
        MainWindow window(state);
        window.SetPrompt(&answers);
        window.SetFileDialogs(&files);
        QVERIFY(window.StartUp(QString()));
        work = state.WorkDbPath;
        undo = state.UndoFiles;
        QVERIFY(QFile::exists(QString::fromStdString(undo[0])));
        window.show();
        QTest::mouseClick(Child<QPushButton>(&window, "CmdOut"), Qt::LeftButton);
        QTest::mouseClick(Child<QPushButton>(&window, "CmdIn"), Qt::LeftButton);
        QTest::mouseClick(Child<QPushButton>(&window, "CmdSendOut"), Qt::LeftButton);
        QTest::mouseClick(Child<QToolButton>(&window, "保存"), Qt::LeftButton);
        QTest::mouseClick(Child<QToolButton>(&window, "新規"), Qt::LeftButton);
        QCOMPARE(Child<QTableWidget>(&window, "MSFlexGrid1")->rowCount(), 0);
        QCOMPARE(window.windowTitle(), QString("Vantrel"));
        QTest::mouseClick(Child<QToolButton>(&window, "開く"), Qt::LeftButton);
        QCOMPARE(window.windowTitle(), QString("Vantrel [def.imp]"));
        auto* grid = Child<QTableWidget>(&window, "MSFlexGrid1");
        QCOMPARE(grid->rowCount(), 1);
        QCOMPARE(grid->item(0, 1)->text(), QString("DATA"));
        QCOMPARE(state.Definition.FieldPairs(1, 2), (FieldPair{"NAME", "NAME"}));

        window.findChild<QAction*>("バーション")->trigger();
        auto* box = window.findChild<QWidget*>("Form5");
        QVERIFY(box);
        QCOMPARE(box->windowTitle(), QString("Vantrelのﾊﾞｰｼﾞｮﾝ情報"));
        QCOMPARE(Child<QLabel>(box, "lblversion")->text(), QString("ﾊﾞｰｼﾞｮﾝ ") + VANTREL_VERSION);
        QCOMPARE(Child<QLabel>(box, "lblTitle")->text(), QString("Vantrel"));

        // Closing with changes asks once; the scratch files go either way.
        state.Definition.Modified = true;
        answers.Questions.clear();
        window.close();
        QCOMPARE(answers.Questions, (std::vector<std::string>{"インポート定義を保存しますか?"}));
    }
    QVERIFY(!QFile::exists(QString::fromStdString(undo[0])));
    QVERIFY(!QFile::exists(QString::fromStdString(work)));
}

void MainWindowTest::DroppingAnInputTableAndSteppingBetweenPairs() {
    test::TempDir dir;
    auto make = [&](const char* name, const char* sql) {
        return test::MakeDatabase(dir, name, sql);
    };
    SessionState state;
    MainWindow window(state);
    Answers answers;
    Files files;
    files.Output = make("out.sqlite", "CREATE TABLE A (k TEXT, v TEXT); CREATE TABLE B (k TEXT);");
    files.Input = make("in.sqlite", "CREATE TABLE X (k TEXT); CREATE TABLE Y (k TEXT, v TEXT);");
    window.SetPrompt(&answers);
    window.SetFileDialogs(&files);
    QVERIFY(window.StartUp(QString()));
    window.show();
    QTest::mouseClick(Child<QPushButton>(&window, "CmdOut"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(&window, "CmdIn"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(&window, "CmdSendOut"), Qt::LeftButton);
    auto* grid = Child<QTableWidget>(&window, "MSFlexGrid1");
    QCOMPARE(grid->rowCount(), 2);

    // Press Y in the input list, then drop it on the first row's input cell.
    auto* inputs = Child<QListWidget>(&window, "List1");
    QCOMPARE(inputs->item(1)->text(), QString("Y"));
    inputs->setCurrentRow(1);
    QTest::mousePress(inputs->viewport(), Qt::RightButton, {},
                      inputs->visualItemRect(inputs->item(1)).center());
    QMimeData mime;
    mime.setData("application/x-vantrel-list-side", "1");
    const QPoint cell = grid->visualItemRect(grid->item(0, 1)).center();
    QDragEnterEvent enter(cell, Qt::MoveAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(grid->viewport(), &enter);
    QDropEvent drop(cell, Qt::MoveAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(grid->viewport(), &drop);
    QCOMPARE(grid->item(0, 1)->text(), QString("Y"));
    QCOMPARE(inputs->count(), 1);
    QCOMPARE(state.Definition.Table(1).InTable, "Y");
    QCOMPARE(state.Definition.FieldPairs(1, 2), (FieldPair{"v", "v"}));  // matched by name
    // An output name cannot be dropped into the input column.
    mime.setData("application/x-vantrel-list-side", "0");
    QDropEvent wrong(grid->visualItemRect(grid->item(1, 1)).center(), Qt::MoveAction, &mime,
                     Qt::LeftButton, {});
    QApplication::sendEvent(grid->viewport(), &wrong);
    QCOMPARE(grid->item(1, 1)->text(), QString());

    // The field settings window steps from pair 1 to pair 2 and back.
    QTest::mouseClick(Child<QPushButton>(&window, "CmdFieldSet"), Qt::LeftButton);
    auto* fields = window.findChild<QWidget*>("Form2");
    QVERIFY(fields);
    QVERIFY(!Child<QPushButton>(fields, "CmdB")->isEnabled());
    QTest::mouseClick(Child<QPushButton>(fields, "CmdF"), Qt::LeftButton);
    QCOMPARE(state.CurrentTable, 2);
    QVERIFY(Child<QLineEdit>(fields, "Text1")->text().contains("(B)"));
    QVERIFY(!Child<QPushButton>(fields, "CmdF")->isEnabled());
    QTest::mouseClick(Child<QPushButton>(fields, "CmdB"), Qt::LeftButton);
    QCOMPARE(state.CurrentTable, 1);
    QCOMPARE(Child<QTableWidget>(fields, "MSFlexGrid1")->rowCount(), 2);
    fields->close();
}

void MainWindowTest::StartingWithADefinitionOnTheCommandLine() {
    test::TempDir dir;
    {
        SessionState state;
        MainWindow window(state);
        Answers answers;
        window.SetPrompt(&answers);
        QVERIFY(!window.StartUp(QString::fromStdString(dir.File("notes.txt"))));
        QCOMPARE(QString::fromStdString(state.Errors.Line(1)), QString("ﾌｧｲﾙの種類が違います"));
    }
    {
        // A missing file ending in IMP (any case, quotes removed) still opens the window, with
        // the error window listing the file error.
        SessionState state;
        MainWindow window(state);
        Answers answers;
        window.SetPrompt(&answers);
        QVERIFY(window.StartUp(QString::fromStdString("\"" + dir.File("missing.IMP") + "\"")));
        QCOMPARE(window.windowTitle(), QString("Vantrel [missing.IMP]"));
        QCOMPARE(answers.ErrorWindows, 1);
        QVERIFY(QString::fromStdString(state.Errors.Text()).contains("(53)"));
    }
}

std::unique_ptr<QObject> vantrel::test::MakeMainWindowTest() {
    return std::make_unique<MainWindowTest>();
}

#include "MainWindowTest.moc"
