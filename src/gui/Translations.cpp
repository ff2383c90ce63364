#include "Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace vantrel::gui {

namespace {

// Qt 6.4 looks up the file type names of the file dialog ("Folder", "Drive", ...) under a
// context its Japanese translation does not have yet; the same names are there under the file
// dialog's own context.
class FileTypeNames final : public QTranslator {
  public:
    FileTypeNames(const QTranslator& qtbase, QObject* parent)
        : QTranslator(parent), qtbase_(qtbase) {}
    QString translate(const char* context, const char* source, const char* disambiguation,
                      int n) const override {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0) return {};
        return qtbase_.translate("QFileDialog", source, disambiguation, n);
    }
    bool isEmpty() const override { return false; }

  private:
    const QTranslator& qtbase_;
};

}  // namespace

bool InstallJapaneseTranslations() {
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    QLocale::setDefault(japanese);
    // Owned by the application, which keeps it for its life.
    auto* qtbase = new QTranslator(QCoreApplication::instance());
    if (!qtbase->load(japanese, "qtbase", "_",
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete qtbase;
        return false;
    }
    if (!QCoreApplication::installTranslator(qtbase)) return false;
    QCoreApplication::installTranslator(new FileTypeNames(*qtbase, qtbase));
    return true;
}

}  // namespace vantrel::gui
