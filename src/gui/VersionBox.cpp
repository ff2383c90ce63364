#include "VersionBox.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace vantrel::gui {

VersionBox::VersionBox(QWidget* owner) : QDialog(owner) {
    setObjectName("Form5");
    setModal(false);
    setWindowTitle("Vantrelのﾊﾞｰｼﾞｮﾝ情報");
    auto* icon = new QLabel(this);
    icon->setObjectName("picIcon");
    icon->setPixmap(windowIcon().isNull()
                        ? style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(48, 48)
                        : windowIcon().pixmap(48, 48));
    auto* title = new QLabel("Vantrel", this);
    title->setObjectName("lblTitle");
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    title->setFont(big);
    auto* version = new QLabel(QString("ﾊﾞｰｼﾞｮﾝ %1").arg(VANTREL_VERSION), this);
    version->setObjectName("lblversion");
    auto* line = new QFrame(this);
    line->setObjectName("Line1");
    line->setFrameShape(QFrame::HLine);
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("cmdOK");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::close);

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    auto* texts = new QVBoxLayout;
    texts->addWidget(title);
    texts->addWidget(version);
    top->addLayout(texts, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(line);
    layout->addWidget(ok, 0, Qt::AlignRight);
    setAttribute(Qt::WA_DeleteOnClose);
}

}  // namespace vantrel::gui
