#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>
#include <array>
#include <functional>

#include "editor/ImportMethod.h"

namespace vantrel::gui {

// "インポート方法": how one pair's input is read and its output table written. It renders the
// editor's form and forwards every event; `OnApplied` tells the field settings window what to do.
class ImportMethodDialog : public QWidget {
    Q_OBJECT
  public:
    ImportMethodDialog(SessionState& state, Engine& engine, FieldLister& fields,
                       MappingPanel& fieldPanel, UserPrompt& prompt, QWidget* owner);

    std::function<void(const MethodApplyResult&)> OnApplied;
    std::function<void()> OnClosed;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void Render();

    ImportMethod method_;
    bool applied_ = false;
    QGroupBox *frame1_, *frame2_;
    std::array<QRadioButton*, 3> options_{};
    QLabel *label1_, *label2_, *label3_;
    QLineEdit *text1_, *text2_;
    QCheckBox *check1_, *check2_;
    QPushButton *headerRow_, *apply_;
    QListWidget* preview_;
};

}  // namespace vantrel::gui
