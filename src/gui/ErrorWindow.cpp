#include "ErrorWindow.h"

#include <QEvent>

#include "Twips.h"

namespace vantrel::gui {

ErrorWindow::ErrorWindow(const ErrorLog& log, QWidget* owner)
    : QWidget(owner, Qt::Window), log_(log) {
    setObjectName("Form4");
    setWindowTitle("エラー表示");
    text_ = new QPlainTextEdit(this);
    text_->setObjectName("RichTextBox1");
    text_->setReadOnly(true);
    close_ = new QPushButton("閉じる", this);
    close_->setObjectName("CmdClose");
    label_ = new QLabel(this);
    label_->setObjectName("Label1");
    connect(close_, &QPushButton::clicked, this, &QWidget::close);
    text_->setGeometry(ToPixels(this, 100), ToPixels(this, 100), ToPixels(this, 7800),
                       ToPixels(this, 4200));
    close_->setGeometry(ToPixels(this, 6900), ToPixels(this, 4500), ToPixels(this, 1000),
                        ToPixels(this, 375));
    label_->setGeometry(ToPixels(this, 100), ToPixels(this, 4500), ToPixels(this, 6000),
                        ToPixels(this, 300));
    resize(ToPixels(this, 8100), ToPixels(this, 5100));
}

void ErrorWindow::Refresh() {
    text_->setPlainText(QString::fromStdString(log_.DescribedText()));
}

void ErrorWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) Refresh();
    QWidget::changeEvent(event);
}

void ErrorWindow::showEvent(QShowEvent* event) {
    Refresh();
    QWidget::showEvent(event);
}

void ErrorWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Only from 4000 x 3000 twips up; below that the controls keep their places.
    const int innerWidth = ToTwips(this, width());
    const int innerHeight = ToTwips(this, height());
    const int outerHeight = ToTwips(this, frameGeometry().height());
    if (innerWidth < 4000 || outerHeight < 3000) return;
    const int top = ToTwips(this, text_->y());
    const int textHeight = innerHeight - top - 400;
    text_->resize(ToPixels(this, innerWidth - 200), ToPixels(this, textHeight));
    label_->move(label_->x(), ToPixels(this, top + textHeight + 30));
    close_->move(ToPixels(this, innerWidth - ToTwips(this, close_->width()) - 200), close_->y());
}

}  // namespace vantrel::gui
