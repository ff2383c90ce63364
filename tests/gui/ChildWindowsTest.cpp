// The windows a mapping window opens: closing them in any order by their close boxes, whom their
// messages belong to, and the boxes the program shows.
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPointer>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

#include "GuiSuites.h"
#include "GuiSupport.h"
#include "model/DefinitionFile.h"

using namespace vantrel;
using test::Child;
using test::Click;
using test::CloseBox;
using test::OpenWindow;

namespace {

// A main window with one pair DATA <- DATA (fields CODE and NAME) and the field settings window
// open on it.
struct FieldWindowOpen {
    test::TempDir dir;
    OpenWindow open{
        test::MakeDatabase(dir, "out.sqlite", "CREATE TABLE DATA (CODE TEXT, NAME TEXT);"),
        test::Fixture("text/DATA.CSV")};
    QPointer<QWidget> fields;
    FieldWindowOpen() {
        open.files.Definition = dir.File("def.imp");
        open.PairEverything();
        Click(&open.window, "CmdFieldSet");
        fields = open.Find("Form2");
        if (!fields) qFatal("the field settings window did not open");
    }
    QWidget* OpenMethod() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Click(fields, "CmdSetei");
        return open.Find("Form3");
    }
};

}  // namespace

class ChildWindowsTest : public QObject {
    Q_OBJECT
  private slots:
    void AWindowWaitingForItsDialogRefusesToClose();
    void ClosingTheMainWindowLeavesTheFieldSettingsWindowFirst();
    void ValidationMessagesBelongToTheImportMethodDialog();
    void MessageBoxesAndFileDialogsSpeakJapanese();
    void TheVersionBoxOpensOnce();
    void PreviousAndNextSitBelowTheTopRow();
};

void ChildWindowsTest::AWindowWaitingForItsDialogRefusesToClose() {
    FieldWindowOpen f;
    SessionState& state = f.open.state;
    QPointer<QWidget> method = f.OpenMethod();
    QVERIFY(method);
    // While the dialog is open neither its owner nor the main window closes.
    QVERIFY(!CloseBox(f.fields));
    QVERIFY(!CloseBox(&f.open.window));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(f.fields && f.fields->isVisible());
    QVERIFY(method && method->isVisible());
    QVERIFY(f.open.window.isVisible());
    QVERIFY(f.open.answers.Questions.empty());  // no save question either
    // The dialog still works and hands control back.
    Child<QRadioButton>(method, "Option2_2")->click();
    Click(method, "Cmdupdt");
    QCOMPARE(state.Definition.Table(1).WriteMode, WriteMode::Update);
    QVERIFY(f.fields->isEnabled());

    // Closed by its own close box the dialog stores nothing; then its owner closes as by 戻る.
    method = f.OpenMethod();
    QVERIFY(method);
    Child<QRadioButton>(method, "Option2_0")->click();
    QVERIFY(CloseBox(method));
    QCOMPARE(state.Definition.Table(1).WriteMode, WriteMode::Update);
    QVERIFY(f.fields->isEnabled());
    QVERIFY(CloseBox(f.fields));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!f.fields);
    QVERIFY(!method);
    QVERIFY(f.open.window.centralWidget()->isEnabled());
    QVERIFY(f.open.window.menuBar()->isEnabled());
}

void ChildWindowsTest::ClosingTheMainWindowLeavesTheFieldSettingsWindowFirst() {
    FieldWindowOpen f;
    // Mark the NAME row and return it: the pair keeps only CODE.
    auto* grid = Child<QTableWidget>(f.fields, "MSFlexGrid1");
    QCOMPARE(grid->rowCount(), 2);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualItemRect(grid->item(1, 0)).center());
    Click(f.fields, "CmdBack0");
    QCOMPARE(grid->rowCount(), 1);
    QVERIFY(CloseBox(&f.open.window));
    QVERIFY(!f.fields || !f.fields->isVisible());
    QCOMPARE(f.open.answers.Questions, std::vector<std::string>{"インポート定義を保存しますか?"});
    // The definition saved on the way out holds the edit.
    ImportDefinition saved;
    ErrorLog log;
    QVERIFY(ReadDefinitionFile(f.open.files.Definition, saved, log));
    QCOMPARE(saved.FieldPairs(1, 1), (FieldPair{"CODE", "CODE"}));
    QVERIFY(saved.FieldPairs(1, 2).OutField.empty());
}

void ChildWindowsTest::ValidationMessagesBelongToTheImportMethodDialog() {
    FieldWindowOpen f;
    f.open.window.SetPrompt(nullptr);  // the real message boxes from here on
    QWidget* method = f.OpenMethod();
    QVERIFY(method);
    auto* skip = Child<QLineEdit>(method, "Text1");
    skip->setFocus();
    QTest::keyClicks(skip, "2-a");
    QWidget* owner = nullptr;
    QString text;
    const test::WhenModalOpens<QMessageBox> answer([&](QMessageBox* box) {
        owner = box->parentWidget();
        text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    auto* apply = Child<QPushButton>(method, "Cmdupdt");
    apply->setFocus();
    apply->click();
    QCOMPARE(text, QString("非インポート行の指定がおかしいです"));
    QCOMPARE(owner, method);
    // The focus goes back to the dialog's own box; the main window's path line is left alone.
    QCOMPARE(method->focusWidget(), skip);
    auto* pathLine = f.open.window.centralWidget()->findChild<QLineEdit*>("Text1");
    QVERIFY(pathLine);
    QVERIFY(f.open.window.focusWidget() != pathLine);
    QVERIFY(method->isVisible());
    QCOMPARE(f.open.state.Definition.Table(1).SkipRows, "");
}

void ChildWindowsTest::MessageBoxesAndFileDialogsSpeakJapanese() {
    FieldWindowOpen f;
    QVERIFY(CloseBox(f.fields));
    f.open.window.SetPrompt(nullptr);
    f.open.window.SetFileDialogs(nullptr);
    // The file dialog: its labels are Japanese; cancelling chooses nothing.
    QStringList labels;
    const test::WhenModalOpens<QFileDialog> cancel([&](QFileDialog* dialog) {
        for (const QLabel* label : dialog->findChildren<QLabel*>())
            labels << label->text();
        dialog->reject();
    });
    Click(&f.open.window, "CmdOut");
    QVERIFY2(labels.contains("ファイル名(&N):"), qPrintable(labels.join('|')));
    QCOMPARE(f.open.state.Definition.OutputPath, f.open.files.Output);
    // The save question on closing: Japanese buttons, and the N key answers No.
    QStringList buttons;
    const test::WhenModalOpens<QMessageBox> answerNo([&](QMessageBox* box) {
        for (const QAbstractButton* b : box->buttons())
            buttons << b->text();
        QTest::keyClick(box, Qt::Key_N);
    });
    QVERIFY(CloseBox(&f.open.window));
    buttons.sort();
    QCOMPARE(buttons, (QStringList{"いいえ(&N)", "はい(&Y)"}));
    QVERIFY(!QFile::exists(QString::fromStdString(f.open.files.Definition)));
}

void ChildWindowsTest::TheVersionBoxOpensOnce() {
    SessionState state;
    gui::MainWindow window(state);
    window.show();
    auto* version = Child<QAction>(&window, "バーション");
    version->trigger();
    version->trigger();
    QCOMPARE(window.findChildren<QWidget*>("Form5").size(), 1);
    QVERIFY(window.findChild<QWidget*>("Form5")->isVisible());
}

void ChildWindowsTest::PreviousAndNextSitBelowTheTopRow() {
    FieldWindowOpen f;
    QCoreApplication::processEvents();
    const int topRowBottom = Child<QPushButton>(f.fields, "CmdSetei")->geometry().bottom();
    for (const char* name : {"CmdB", "CmdF"}) {
        auto* step = Child<QPushButton>(f.fields, name);
        QVERIFY2(step->y() > topRowBottom, name);
        QVERIFY2(step->geometry().bottom() < Child<QWidget>(f.fields, "List0")->y(), name);
    }
}

std::unique_ptr<QObject> vantrel::test::MakeChildWindowsTest() {
    return std::make_unique<ChildWindowsTest>();
}

#include "ChildWindowsTest.moc"
