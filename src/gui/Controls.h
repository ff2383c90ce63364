#pragma once

#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <initializer_list>

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

// Sizes the two columns of arrow buttons (three each) and gives them their design tops in twips;
// the resize rules move them sideways.
template <typename Convert>
void PlaceArrowButtons(QWidget* const (&arrows)[6], int width, int height, const int (&tops)[3],
                       Convert toPixels) {
    for (int i = 0; i < 6; ++i) {
        arrows[i]->resize(toPixels(width), toPixels(height));
        arrows[i]->move(0, toPixels(tops[i % 3]));
    }
}

// The tab order of a window's controls, in the order given.
inline void SetTabChain(std::initializer_list<QWidget*> chain) {
    QWidget* previous = nullptr;
    for (QWidget* w : chain) {
        if (previous) QWidget::setTabOrder(previous, w);
        previous = w;
    }
}

}  // namespace vantrel::gui
