#pragma once

#include <QPushButton>
#include <QStyle>
#include <QToolButton>

namespace vantrel::gui {

// A button named after its control, with its caption and tooltip.
inline QPushButton* Button(QWidget* parent, const char* name, const char* caption,
                           const char* tip = nullptr) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(QString::fromUtf8(name));
    if (tip) b->setToolTip(QString::fromUtf8(tip));
    return b;
}

// A picture button: an icon, its tooltip also read out as its accessible name.
inline QToolButton* PictureButton(QWidget* parent, const char* name, const char* tip,
                                  QStyle::StandardPixmap icon) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromUtf8(name));
    b->setToolTip(QString::fromUtf8(tip));
    b->setAccessibleName(QString::fromUtf8(tip));
    b->setIcon(parent->style()->standardIcon(icon));
    b->setAutoRaise(true);
    return b;
}

}  // namespace vantrel::gui
