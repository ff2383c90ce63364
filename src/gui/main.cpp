// vantrel: the import tool's windows.
#include <QApplication>
#include <QStringList>

#include "MainWindow.h"
#include "Translations.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Vantrel");
    QApplication::setApplicationVersion(VANTREL_VERSION);
    vantrel::gui::InstallJapaneseTranslations();
    vantrel::SessionState state;
    vantrel::gui::MainWindow window(state);
    // The command line names at most one definition file; its quotes are removed.
    const QStringList args = QApplication::arguments().mid(1);
    if (!window.StartUp(args.join(' '))) {
        window.ShowErrors();
        window.close();
        return 1;
    }
    window.show();
    return QApplication::exec();
}
