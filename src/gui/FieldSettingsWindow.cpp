#include "FieldSettingsWindow.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QStyle>

#include "Controls.h"
#include "ImportMethodDialog.h"
#include "MainWindow.h"
#include "Twips.h"
#include "editor/ButtonStates.h"
#include "editor/GridLayout.h"
#include "editor/UndoHistory.h"

namespace vantrel::gui {

namespace {

constexpr int kButtonTop = 120, kButtonHeight = 400, kStepTop = 620, kStepWidth = 1100;
constexpr int kListLeft = 120, kListTop = 1120;
constexpr int kArrowWidth = 500;
constexpr int kArrowTops[] = {1800, 2300, 2800};
constexpr int kPairLineHeight = 300;

}  // namespace

FieldSettingsWindow::FieldSettingsWindow(MainWindow& main, Engine& engine, SourceCatalog& catalog)
    : QWidget(&main, Qt::Window),
      main_(main),
      engine_(engine),
      fields_(catalog),
      operations_(main.State(), panel_, EditorWindow::FieldSettings, fields_),
      settings_(main.State(), panel_, main.Panel(), fields_) {
    setObjectName("Form2");
    setWindowTitle("フィールド設定");
    setAttribute(Qt::WA_DeleteOnClose);
    prev_ = Button(this, "CmdB", "前へ", "前のﾃｰﾌﾞﾙ");
    next_ = Button(this, "CmdF", "次へ", "次のﾃｰﾌﾞﾙ");
    setei_ = Button(this, "CmdSetei", "ｲﾝﾎﾟｰﾄ方法");
    errors_ = Button(this, "CmdErr", "ｴﾗｰ表示", "エラー表示");
    undo_ = PictureButton(this, "CmdUndo", "やり直し", QStyle::SP_ArrowBack);
    ok_ = Button(this, "CmdOK", "戻　る");
    int left = 120;
    for (QWidget* b : {static_cast<QWidget*>(setei_), static_cast<QWidget*>(errors_),
                       static_cast<QWidget*>(undo_)}) {
        const int width = b == undo_ ? 450 : 1300;
        b->setGeometry(ToPixels(this, left), ToPixels(this, kButtonTop), ToPixels(this, width),
                       ToPixels(this, kButtonHeight));
        left += width + 60;
    }
    // Their own row between the top buttons and the lists; the resize rules centre them.
    for (QPushButton* b : {prev_, next_}) {
        b->setGeometry(0, ToPixels(this, kStepTop), ToPixels(this, kStepWidth),
                       ToPixels(this, kButtonHeight));
    }
    ok_->setGeometry(0, ToPixels(this, kButtonTop), ToPixels(this, 1200),
                     ToPixels(this, kButtonHeight));
    list0_ = new NameListWidget(0, this);
    list1_ = new NameListWidget(1, this);
    grid_ = new MappingGridWidget(this);
    list0_->move(ToPixels(this, kListLeft), ToPixels(this, kListTop));
    sendOut_ = Button(this, "CmdSendOut", ">>", "全て、又は選択した物を送る");
    back0_ = Button(this, "CmdBack0", "<<", "戻す");
    fuseigou_ = PictureButton(this, "CmdFuseigou", "対応するテーブルがない場合は元に戻す",
                              QStyle::SP_BrowserReload);
    sendIn_ = Button(this, "CmdSendIN", "<", "出力と同じ名称をセット");
    setOrder_ = Button(this, "CmdSetOrder", "<-", "上から順にセット");
    back1_ = Button(this, "CmdBack1", ">>", "全て、又は選択した物を戻す");
    QWidget* const arrows[] = {sendOut_, back0_, fuseigou_, sendIn_, setOrder_, back1_};
    PlaceArrowButtons(arrows, kArrowWidth, 400, kArrowTops,
                      [this](int twips) { return ToPixels(this, twips); });
    pairLine_ = new QLineEdit(this);
    pairLine_->setObjectName("Text1");
    pairLine_->setReadOnly(true);

    connect(prev_, &QPushButton::clicked, this, [this] { Step(-1); });
    connect(next_, &QPushButton::clicked, this, [this] { Step(1); });
    connect(errors_, &QPushButton::clicked, this, [this] { main_.ShowErrors(); });
    connect(setei_, &QPushButton::clicked, this, &FieldSettingsWindow::OpenImportMethod);
    connect(undo_, &QToolButton::clicked, this,
            [this] { Edit([this] { return PopUndo(main_.State(), panel_) && false; }); });
    connect(ok_, &QPushButton::clicked, this, [this] {
        settings_.StoreFieldPairs();
        ClearUndo(main_.State(), panel_);
        main_.raise();
        close();
    });
    ConnectMappingControls(
        this, {sendOut_, sendIn_, setOrder_, back0_, back1_, fuseigou_, list0_, list1_, grid_},
        operations_, panel_, [this](const std::function<bool()>& operation) { Edit(operation); });
    connect(grid_, &MappingGridWidget::pressedCell, this,
            [this](int row, int col, bool right, QPoint) {
                if (row < 0 || right) return;
                operations_.ToggleMark(row, col);
                Redraw();
            });
    SetTabChain({setei_, errors_, undo_, prev_, next_, list0_, sendOut_, back0_, fuseigou_, grid_,
                 sendIn_, setOrder_, back1_, list1_, pairLine_, ok_});
    resize(ToPixels(this, 11000), ToPixels(this, 7500));
}

// The dialog works on this window's panel: it never outlives the window.
FieldSettingsWindow::~FieldSettingsWindow() {
    delete method_;
}

void FieldSettingsWindow::OpenImportMethod() {
    if (method_ && method_->isVisible()) {
        method_->raise();
        return;
    }
    // The dialog keeps this window disabled until it closes; it belongs to the main window so
    // that disabling this one does not disable the dialog too.
    method_ = new ImportMethodDialog(main_.State(), engine_, fields_, panel_,
                                     main_.PromptOverride(), &main_);
    setEnabled(false);
    connect(method_, &ImportMethodDialog::applied, this, [this](const MethodApplyResult& result) {
        if (result.ReloadFields) settings_.ShowPairFields();
        if (result.ShowErrorWindow) main_.ShowErrors();
    });
    connect(method_, &ImportMethodDialog::closed, this, [this] {
        panel_.Busy = false;
        setEnabled(true);
        Redraw();
    });
    method_->show();
}

void FieldSettingsWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (opened_) return;
    opened_ = true;
    const bool showErrors = settings_.Open();
    main_.EnabledSwitch();  // the main window waits while this one is open
    Redraw();
    if (showErrors) main_.ShowErrors();
}

template <typename Operation>
void FieldSettingsWindow::Edit(Operation operation) {
    ReadSelections(panel_, list0_, list1_);
    const bool showErrors = operation();
    Redraw();
    if (showErrors) main_.ShowErrors();
}

void FieldSettingsWindow::Step(int delta) {
    bool showErrors = false;
    if (!(delta < 0 ? settings_.Previous(showErrors) : settings_.Next(showErrors))) return;
    Redraw();
    if (showErrors) main_.ShowErrors();
}

void FieldSettingsWindow::Redraw() {
    Render(panel_, list0_, list1_, grid_);
    FitGridColumns(panel_, operations_, grid_);
    RefreshPairLine();
    EnabledSwitch();
}

void FieldSettingsWindow::EnabledSwitch() {
    const FieldButtons b = FieldEnabledSwitch(main_.State(), panel_, main_.Panel().Grid.Rows());
    sendOut_->setEnabled(b.CmdSendOut);
    back0_->setEnabled(b.CmdBack0);
    setOrder_->setEnabled(b.CmdSetOrder);
    sendIn_->setEnabled(b.CmdSendIN);
    back1_->setEnabled(b.CmdBack1);
    prev_->setEnabled(b.CmdB);
    next_->setEnabled(b.CmdF);
    fuseigou_->setEnabled(b.CmdFuseigou);
    errors_->setEnabled(b.CmdErr);
    undo_->setEnabled(panel_.UndoEnabled);
}

void FieldSettingsWindow::RefreshPairLine() {
    const SessionState& state = main_.State();
    const QString text = QString::fromStdString(PairLineText(state.Definition, state.CurrentTable));
    pairLine_->setText(text);
    const TextBoxPlace place = PlacePairLine(
        ToTwips(this, pairLine_->fontMetrics().horizontalAdvance(text)), ToTwips(this, list0_->y()),
        ToTwips(this, list0_->height()), ToTwips(this, width()));
    pairLine_->setGeometry(ToPixels(this, place.Left), ToPixels(this, place.Top),
                           ToPixels(this, place.Width), ToPixels(this, kPairLineHeight));
}

void FieldSettingsWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (ToTwips(this, width()) < 6000 || ToTwips(this, frameGeometry().height()) < 5000) return;
    auto px = [this](int twips) { return ToPixels(this, twips); };
    auto tw = [this](int pixels) { return ToTwips(this, pixels); };
    const int clientWidth = tw(width()), clientHeight = tw(height());
    const int arrowWidth = tw(sendOut_->width());
    const int w = (clientWidth - 2 * kListLeft - 2 * (arrowWidth + 40)) / 4;
    const int h = clientHeight - kListTop - kPairLineHeight - 100;
    ok_->move(px(clientWidth - tw(ok_->width()) - 50), ok_->y());
    list0_->setGeometry(px(kListLeft), px(kListTop), px(w), px(h));
    const int leftColumn = kListLeft + w + 20;
    for (QWidget* b : {static_cast<QWidget*>(sendOut_), static_cast<QWidget*>(back0_),
                       static_cast<QWidget*>(fuseigou_)}) {
        b->move(px(leftColumn), b->y());
    }
    const int gridLeft = leftColumn + arrowWidth + 20;
    grid_->setGeometry(px(gridLeft), px(kListTop), px(2 * w), px(h));
    // Previous and next sit side by side, centred on the grid.
    const int prevLeft = gridLeft + (2 * w - tw(prev_->width()) - tw(next_->width())) / 2;
    prev_->move(px(prevLeft), prev_->y());
    next_->move(px(prevLeft + tw(prev_->width())), next_->y());
    const int rightColumn = gridLeft + 2 * w + 20;
    for (QWidget* b : {static_cast<QWidget*>(sendIn_), static_cast<QWidget*>(setOrder_),
                       static_cast<QWidget*>(back1_)}) {
        b->move(px(rightColumn), b->y());
    }
    list1_->setGeometry(px(rightColumn + arrowWidth + 50), px(kListTop), px(w), px(h));
    if (opened_) Redraw();
}

void FieldSettingsWindow::closeEvent(QCloseEvent* event) {
    // Disabled while the import method dialog is open: the close box waits for the dialog too.
    if (method_ && method_->isVisible()) {
        event->ignore();
        method_->raise();
        method_->activateWindow();
        return;
    }
    if (!left_) {
        left_ = true;
        settings_.Leave();
        main_.EnabledSwitch();
    }
    event->accept();
}

}  // namespace vantrel::gui
