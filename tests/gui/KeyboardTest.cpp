// The mapping windows driven from the keyboard alone.
#include <QListWidget>
#include <QMenu>
#include <QTableWidget>
#include <QTest>

#include "GuiSuites.h"
#include "GuiSupport.h"

using namespace vantrel;
using test::Child;
using test::Click;
using test::OpenWindow;

namespace {

// The window's tab order among the named controls, starting from the first.
QStringList TabOrder(QWidget* within, const QStringList& names) {
    QWidget* first = Child<QWidget>(within, names.front().toUtf8().constData());
    QStringList order{first->objectName()};
    for (QWidget* w = first->nextInFocusChain(); w != first; w = w->nextInFocusChain()) {
        if (names.contains(w->objectName()) && within->isAncestorOf(w)) order << w->objectName();
    }
    return order;
}

void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
}

QString Focused() {
    return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
}

}  // namespace

class KeyboardTest : public QObject {
    Q_OBJECT
  private slots:
    void TabLeavesTheGridsAndFollowsTheScreen();
    void ARowIsMarkedAndReturnedFromTheKeyboard();
    void AltFReachesTheButtonAndThenTheMenu();
};

void KeyboardTest::TabLeavesTheGridsAndFollowsTheScreen() {
    test::TempDir dir;
    OpenWindow open(test::MakeDatabase(dir, "out.sqlite", "CREATE TABLE DATA (CODE TEXT);"),
                    test::Fixture("text/DATA.CSV"));
    open.PairEverything();
    open.window.activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), &open.window);
    const QStringList mapping{"List0",     "CmdSendOut",  "CmdBack0", "CmdFuseigou", "MSFlexGrid1",
                              "CmdSendIN", "CmdSetOrder", "CmdBack1", "List1"};
    QCOMPARE(TabOrder(&open.window, mapping), mapping);
    auto* grid = Child<QTableWidget>(&open.window, "MSFlexGrid1");
    grid->setFocus();
    grid->setCurrentCell(0, 0);
    Press(Qt::Key_Tab);
    QVERIFY2(QApplication::focusWidget() != grid, qPrintable(Focused()));
    grid->setFocus();
    Press(Qt::Key_Backtab);
    QCOMPARE(Focused(), QString("CmdFuseigou"));

    Click(&open.window, "CmdFieldSet");
    QWidget* fields = open.Find("Form2");
    QVERIFY(fields);
    fields->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), fields);
    QCOMPARE(TabOrder(fields, mapping), mapping);
    auto* fieldGrid = Child<QTableWidget>(fields, "MSFlexGrid1");
    QVERIFY(fieldGrid->rowCount() > 0);
    fieldGrid->setFocus();
    fieldGrid->setCurrentCell(0, 1);
    Press(Qt::Key_Tab);
    QCOMPARE(Focused(), QString("CmdSendIN"));
    fields->close();
}

void KeyboardTest::ARowIsMarkedAndReturnedFromTheKeyboard() {
    test::TempDir dir;
    OpenWindow open(test::MakeDatabase(dir, "out.sqlite",
                                       "CREATE TABLE DATA (CODE TEXT); CREATE TABLE other (x);"),
                    test::Fixture("text/DATA.CSV"));
    open.PairEverything();
    open.window.activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), &open.window);
    auto* grid = Child<QTableWidget>(&open.window, "MSFlexGrid1");
    QCOMPARE(grid->rowCount(), 2);
    grid->setFocus();
    grid->setCurrentCell(0, 0);
    Press(Qt::Key_Down);
    Press(Qt::Key_Space);  // marks "other"
    QCOMPARE(grid->item(1, 0)->background().color(), QColor(0xC0, 0xC0, 0xFF));
    Press(Qt::Key_Space);  // and unmarks it
    QVERIFY(grid->item(1, 0)->background().color() != QColor(0xC0, 0xC0, 0xFF));
    Press(Qt::Key_Space);
    Press(Qt::Key_Backtab);
    Press(Qt::Key_Backtab);
    QCOMPARE(Focused(), QString("CmdBack0"));
    Press(Qt::Key_Space);
    QTRY_COMPARE(grid->rowCount(), 1);
    QCOMPARE(grid->item(0, 0)->text(), QString("DATA"));
    QCOMPARE(Child<QListWidget>(&open.window, "List0")->item(0)->text(), QString("other"));
}

void KeyboardTest::AltFReachesTheButtonAndThenTheMenu() {
    test::TempDir dir;
    OpenWindow open(test::MakeDatabase(dir, "out.sqlite", "CREATE TABLE DATA (CODE TEXT);"),
                    test::Fixture("text/DATA.CSV"));
    open.window.activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), &open.window);
    auto* fileMenu = Child<QMenu>(&open.window, "ファイル");
    auto* list0 = Child<QListWidget>(&open.window, "List0");
    // With the button disabled the key opens the File menu at once.
    list0->setFocus();
    Press(Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(fileMenu->isVisible());
    fileMenu->hide();

    open.PairEverything();
    QVERIFY(Child<QPushButton>(&open.window, "CmdFieldSet")->isEnabled());
    // From the window's body the key goes to the button (the focus, not a click), however often;
    // pressed on the button it opens the menu.
    for (int round = 0; round < 2; ++round) {
        for (int again = 0; again < 2; ++again) {
            list0->setFocus();
            Press(Qt::Key_F, Qt::AltModifier);
            QCOMPARE(Focused(), QString("CmdFieldSet"));
            QVERIFY(!fileMenu->isVisible());
        }
        QVERIFY(!open.Find("Form2"));
        Press(Qt::Key_F, Qt::AltModifier);
        QTRY_VERIFY(fileMenu->isVisible());
        fileMenu->hide();
    }
}

std::unique_ptr<QObject> vantrel::test::MakeKeyboardTest() {
    return std::make_unique<KeyboardTest>();
}

#include "KeyboardTest.moc"
