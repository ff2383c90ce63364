#pragma once

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

#include "model/ErrorLog.h"

namespace vantrel::gui {

// "エラー表示": the error log as plain text, rebuilt each time the window becomes active so
// it always shows the latest operation's problems, each with where and how often it happened.
class ErrorWindow : public QWidget {
    Q_OBJECT
  public:
    ErrorWindow(const ErrorLog& log, QWidget* owner);

    void Refresh();

  protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    const ErrorLog& log_;
    QPlainTextEdit* text_;
    QPushButton* close_;
    QLabel* label_;
};

}  // namespace vantrel::gui
