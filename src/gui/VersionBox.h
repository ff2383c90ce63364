#pragma once

#include <QDialog>

namespace vantrel::gui {

// "Vantrelのﾊﾞｰｼﾞｮﾝ情報": the program's icon, title and version.
class VersionBox : public QDialog {
    Q_OBJECT
  public:
    explicit VersionBox(QWidget* owner);
};

}  // namespace vantrel::gui
