#include "ImportProgress.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLocale>
#include <QVBoxLayout>

#include "Twips.h"

namespace vantrel::gui {

namespace {

constexpr int kWidth = 6600;  // twips

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

ImportProgress::ImportProgress(QWidget* owner) : QDialog(owner) {
    setObjectName("ImportProgress");
    setWindowTitle("Vantrel");
    label_ = new QLabel(text_, this);
    label_->setObjectName("Label1");
    // The label never asks for more room: long texts are shortened in the middle instead.
    label_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 0);  // how long a run takes is not known ahead
    bar_->setTextVisible(false);
    cancel_ = new QPushButton("中止", this);
    cancel_->setObjectName("CmdCancel");
    cancel_->setAutoDefault(false);
    connect(cancel_, &QPushButton::clicked, this, &ImportProgress::cancelRequested);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label_);
    layout->addWidget(bar_);
    layout->addLayout(buttons);
    setFixedWidth(ToPixels(this, kWidth));
    setFixedHeight(sizeHint().height());
}

ImportProgress::~ImportProgress() {
    Finish();
}

void ImportProgress::ShowStaging(int64_t rows) {
    ShowText(QString("入力ファイルを読み込んでいます… %1 行").arg(QLocale().toString(rows)));
}

void ImportProgress::ShowTransfer(const TransferProgress& p) {
    ShowText(QString("[%1/%2] %3 ← %4: %5 行")
                 .arg(p.Pair)
                 .arg(p.PairCount)
                 .arg(Q(p.OutTable), Q(p.InTable), QLocale().toString(p.Rows)));
}

void ImportProgress::ShowCancelling() {
    if (finished_ || cancelling_) return;
    cancelling_ = true;
    cancel_->setEnabled(false);
    text_ = "中止しています…";
    RenderLabel();
}

void ImportProgress::RenderLabel() {
    label_->setText(label_->fontMetrics().elidedText(text_, Qt::ElideMiddle, label_->width()));
}

void ImportProgress::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    RenderLabel();
}

void ImportProgress::ShowText(const QString& text) {
    if (finished_) return;
    if (!cancelling_) text_ = text;
    RenderLabel();
    if (isVisible()) return;
    if (!busyCursor_) QApplication::setOverrideCursor(Qt::BusyCursor);
    busyCursor_ = true;
    show();
}

void ImportProgress::Finish() {
    finished_ = true;
    hide();
    if (busyCursor_) QApplication::restoreOverrideCursor();
    busyCursor_ = false;
}

void ImportProgress::closeEvent(QCloseEvent* event) {
    // The close box means "中止"; the window itself goes only when the run has ended.
    if (finished_) {
        event->accept();
        return;
    }
    event->ignore();
    if (!cancelling_) emit cancelRequested();
}

void ImportProgress::reject() {
    if (!finished_ && !cancelling_) emit cancelRequested();
}

}  // namespace vantrel::gui
