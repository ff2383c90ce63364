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

#include "MessagePrompt.h"
#include "editor/ImportMethod.h"

namespace vantrel::gui {

// "インポート方法": how one pair's input is read and its output table written. It renders the
// editor's form and forwards every event; `applied` tells the field settings window what to do.
// It works on that window's panel, so that window must outlive it. Its messages are its own;
// `answers` stands in for them when not null.
class ImportMethodDialog : public QWidget {
    Q_OBJECT
  public:
    ImportMethodDialog(SessionState& state, Engine& engine, FieldLister& fields,
                       MappingPanel& fieldPanel, UserPrompt* answers, QWidget* owner);

  signals:
    void applied(const vantrel::MethodApplyResult& result);
    void closed();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void Render();

    MessagePrompt prompt_;
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
