#pragma once

#include <QAbstractButton>
#include <QKeySequence>
#include <QObject>

namespace vantrel::gui {

// A button whose access key the menu bar uses too ("ﾌｨｰﾙﾄﾞ設定(&F)" beside "ファイル(&F)"). As
// with duplicate access keys on Windows, the key moves the focus to the button (without pressing
// it) while the focus is elsewhere in the window's body; pressed again on the button it opens the
// menu. A disabled button leaves the key to the menu.
class SharedMnemonic : public QObject {
  public:
    SharedMnemonic(QWidget* body, QAbstractButton* button);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* body_;
    QAbstractButton* button_;
    QKeySequence key_;
};

}  // namespace vantrel::gui
