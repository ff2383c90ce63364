#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <QWidget>

#include "MappingView.h"
#include "editor/FieldLister.h"
#include "editor/FieldSettings.h"
#include "editor/MappingOperations.h"
#include "sources/SourceCatalog.h"

namespace vantrel::gui {

class MainWindow;
class ImportMethodDialog;

// "フィールド設定": the field pairs of one table pair, with previous/next. While it is open the
// main window is disabled, as if this window were modal; while its import method dialog is open
// it is disabled itself and refuses to close.
class FieldSettingsWindow : public QWidget {
    Q_OBJECT
  public:
    FieldSettingsWindow(MainWindow& main, Engine& engine, SourceCatalog& catalog);
    ~FieldSettingsWindow() override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    template <typename Operation>
    void Edit(Operation operation);
    void EnabledSwitch();
    void Redraw();
    void RefreshPairLine();
    void Step(int delta);
    void OpenImportMethod();

    MainWindow& main_;
    Engine& engine_;
    MappingPanel panel_;
    CatalogFieldLister fields_;
    MappingOperations operations_;
    FieldSettings settings_;
    bool opened_ = false;
    bool left_ = false;
    QPointer<ImportMethodDialog> method_;

    QPushButton *prev_, *next_, *setei_, *errors_, *ok_;
    QPushButton *sendOut_, *sendIn_, *setOrder_, *back0_, *back1_;
    QToolButton *undo_, *fuseigou_;
    NameListWidget *list0_, *list1_;
    MappingGridWidget* grid_;
    QLineEdit* pairLine_;
};

}  // namespace vantrel::gui
