#pragma once

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <cstdint>

#include "import/TableTransfer.h"

namespace vantrel::gui {

// The window shown while an import runs: what it is doing and "中止". It keeps one width, so
// that the button stays under the pointer whatever the text says, and after "中止" it stays,
// saying so, until the run has really stopped.
class ImportProgress : public QDialog {
    Q_OBJECT
  public:
    explicit ImportProgress(QWidget* owner);
    ~ImportProgress() override;

    // Each report shows the window, unless the run has ended.
    void ShowStaging(int64_t rows);
    void ShowTransfer(const TransferProgress& progress);
    void ShowCancelling();
    // The run has ended: the window goes and does not come back.
    void Finish();

  signals:
    void cancelRequested();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void reject() override;

  private:
    void ShowText(const QString& text);
    void RenderLabel();

    QString text_ = "ｲﾝﾎﾟｰﾄしています…";
    QLabel* label_;
    QProgressBar* bar_;
    QPushButton* cancel_;
    bool cancelling_ = false;
    bool finished_ = false;
    bool busyCursor_ = false;
};

}  // namespace vantrel::gui
