// test_gui: the window suites, offscreen. `test_gui SUITE [qtest options]` runs one suite (each is
// its own ctest entry); without a suite name every suite runs.
#include <QApplication>
#include <QTest>
#include <functional>
#include <memory>

#include "GuiSuites.h"
#include "Translations.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    vantrel::gui::InstallJapaneseTranslations();
    const std::vector<std::pair<QString, std::function<std::unique_ptr<QObject>()>>> suites = {
        {"MainWindow", vantrel::test::MakeMainWindowTest},
        {"ChildWindows", vantrel::test::MakeChildWindowsTest},
        {"Keyboard", vantrel::test::MakeKeyboardTest},
        {"RunningImport", vantrel::test::MakeRunningImportTest},
    };
    QStringList args = QApplication::arguments();
    QString only;
    if (args.size() > 1 && !args[1].startsWith('-')) only = args.takeAt(1);
    int failures = 0;
    bool ran = false;
    for (const auto& [name, make] : suites) {
        if (!only.isEmpty() && only != name) continue;
        ran = true;
        const std::unique_ptr<QObject> suite = make();
        failures += QTest::qExec(suite.get(), args);
    }
    if (!ran) qFatal("no suite %s", qPrintable(only));
    return failures;
}
