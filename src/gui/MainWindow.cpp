#include "MainWindow.h"

#include <unistd.h>

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenuBar>
#include <QStyle>
#include <QUrl>
#include <filesystem>

#include "Controls.h"
#include "FieldSettingsWindow.h"
#include "SharedMnemonic.h"
#include "Twips.h"
#include "VersionBox.h"
#include "common/TemporaryFolder.h"
#include "editor/ButtonStates.h"
#include "editor/GridLayout.h"
#include "editor/UndoHistory.h"
#include "import/ImportRun.h"

namespace vantrel::gui {

namespace {

// Design positions and sizes, in twips; the resize rules move the rest.
constexpr int kToolTop = 60, kToolSize = 450;
constexpr int kFrameLeft = 60, kFrameTop = 600;
constexpr int kButtonTop = 150, kButtonHeight = 400, kWideButton = 1800;
constexpr int kListLeft = 120, kListTop = 650;
constexpr int kArrowWidth = 500, kArrowHeight = 400;
constexpr int kArrowTops[] = {1400, 1900, 2400};
constexpr int kPathLineHeight = 300;

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

MainWindow::MainWindow(SessionState& state, QWidget* parent)
    : QMainWindow(parent),
      state_(state),
      engine_(state.Errors.Pending),
      catalog_(state, engine_, panel_),
      fields_(catalog_),
      operations_(state, panel_, EditorWindow::Main, fields_),
      moves_(state, panel_, popup_),
      prompt_(this),
      qtDialogs_(this),
      commands_(state, panel_, catalog_, dialogs_, prompt_, VANTREL_NOW_VER) {
    dialogs_.Target = &qtDialogs_;
    prompt_.OnShowErrors = [this] { ShowErrors(); };
    setObjectName("Form1");
    setWindowTitle("Vantrel");
    BuildControls();
    BuildMenus();
    Connect();
    SetTabOrder();
    resize(ToPixels(this, 13500), ToPixels(this, 8400));
    EnabledSwitch();
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildControls() {
    auto* central = new QWidget(this);
    setCentralWidget(central);
    new_ = PictureButton(central, "新規", "新規", QStyle::SP_FileIcon);
    open_ = PictureButton(central, "開く", "ｲﾝﾎﾟｰﾄ方法を開く", QStyle::SP_DialogOpenButton);
    save_ = PictureButton(central, "保存", "ｲﾝﾎﾟｰﾄ方法を保存します", QStyle::SP_DialogSaveButton);
    undo_ = PictureButton(central, "CmdUndo", "やり直し", QStyle::SP_ArrowBack);
    help_ = PictureButton(central, "使用方法", "使用方法", QStyle::SP_DialogHelpButton);
    cmdOk_ = Button(central, "CmdOK", "終　了");
    int left = 60;
    for (QToolButton* b : {new_, open_, save_, undo_, help_}) {
        b->setGeometry(ToPixels(this, left), ToPixels(this, kToolTop), ToPixels(this, kToolSize),
                       ToPixels(this, kToolSize));
        left += kToolSize + 30;
    }
    cmdOk_->setGeometry(0, ToPixels(this, kToolTop), ToPixels(this, 1200),
                        ToPixels(this, kToolSize));

    frame_ = new QFrame(central);
    frame_->setObjectName("Frame1");
    frame_->setFrameShape(QFrame::StyledPanel);
    frame_->move(ToPixels(this, kFrameLeft), ToPixels(this, kFrameTop));
    cmdOut_ = Button(frame_, "CmdOut", "出力ﾌｧｲﾙ選択");
    cmdIn_ = Button(frame_, "CmdIn", "入力ﾌｧｲﾙ選択");
    fieldSet_ = Button(frame_, "CmdFieldSet", "ﾌｨｰﾙﾄﾞ設定(&F)");
    start_ = Button(frame_, "CmdStart", "ｲﾝﾎﾟｰﾄ開始(&S)");
    for (QPushButton* b : {cmdOut_, cmdIn_, fieldSet_, start_}) {
        b->resize(ToPixels(this, kWideButton), ToPixels(this, kButtonHeight));
        b->move(0, ToPixels(this, kButtonTop));
    }
    list0_ = new NameListWidget(0, frame_);
    list1_ = new NameListWidget(1, frame_);
    list0_->move(ToPixels(this, kListLeft), ToPixels(this, kListTop));
    list1_->move(0, ToPixels(this, kListTop));
    grid_ = new MappingGridWidget(frame_);
    grid_->move(0, ToPixels(this, kListTop));
    sendOut_ =
        Button(frame_, "CmdSendOut", ">>", "選択されてなければ全て送る。又は選択した物を送る");
    back0_ = Button(frame_, "CmdBack0", "<<", "全て、又は選択した物を戻す");
    fuseigou_ = PictureButton(frame_, "CmdFuseigou", "対応するテーブルがない場合は元に戻す",
                              QStyle::SP_BrowserReload);
    sendIn_ = Button(frame_, "CmdSendIN", "<", "出力と同じ名称を送る");
    setOrder_ = Button(frame_, "CmdSetOrder", "<-", "上から順に空白欄に送る");
    back1_ = Button(frame_, "CmdBack1", ">>", "選択されてなければ全て戻す。又は選択した物を戻す");
    QWidget* const arrows[] = {sendOut_, back0_, fuseigou_, sendIn_, setOrder_, back1_};
    PlaceArrowButtons(arrows, kArrowWidth, kArrowHeight, kArrowTops,
                      [this](int twips) { return ToPixels(this, twips); });
    pathLine_ = new QLineEdit(frame_);
    pathLine_->setObjectName("Text1");
    pathLine_->setReadOnly(true);
    pathLine_->resize(ToPixels(this, 4000), ToPixels(this, kPathLineHeight));
}

void MainWindow::BuildMenus() {
    QMenu* file = menuBar()->addMenu("ファイル(&F)");
    file->setObjectName("ファイル");
    backup_ = file->addAction("ﾊﾞｯｸｱｯﾌﾟを取る(&B)");
    backup_->setObjectName("Cmdbackup");
    backup_->setCheckable(true);
    // Off at every start and never stored in the definition: a choice for this session only.
    unverifiedKeys_ = file->addAction("未確認の索引キーを許可する");
    unverifiedKeys_->setObjectName("CmdUnverifiedKeys");
    unverifiedKeys_->setCheckable(true);
    connect(unverifiedKeys_, &QAction::toggled, this,
            [this](bool on) { engine_.SetAllowUnverifiedKeys(on); });
    showErrors_ = menuBar()->addAction("ｴﾗｰ表示(&W)");
    showErrors_->setObjectName("CmdErr");
    showErrors_->setEnabled(false);
    version_ = menuBar()->addAction("バーション(&V)");
    version_->setObjectName("バーション");
    popupMenu_ = new QMenu("List編集", this);
    popupMenu_->setObjectName("List編集");
    popupFields_ = popupMenu_->addAction("フィールド設定");
    popupFields_->setObjectName("フィールド設定");
    popupMenu_->addSeparator()->setObjectName("bar2");
    popupMove_ = popupMenu_->addAction("行の移動");
    popupMove_->setObjectName("行の移動");
    popupAbove_ = popupMenu_->addAction("行の上に挿入(&U)");
    popupAbove_->setObjectName("行の上に挿入");
    popupBelow_ = popupMenu_->addAction("行の下に挿入(&D)");
    popupBelow_->setObjectName("行の下に挿入");
    popupAbove_->setEnabled(false);
    popupBelow_->setEnabled(false);
}

template <typename Operation>
void MainWindow::Edit(Operation operation) {
    ReadSelections(panel_, list0_, list1_);
    const bool showErrors = operation();
    Render(panel_, list0_, list1_, grid_);
    FitColumns();
    RefreshPathLine();
    EnabledSwitch();
    if (showErrors) ShowErrors();
}

void MainWindow::Connect() {
    connect(new_, &QToolButton::clicked, this, [this] {
        commands_.NewDefinition();
        setWindowTitle(Q(commands_.Caption()));
        Edit([] { return false; });
    });
    connect(open_, &QToolButton::clicked, this, [this] {
        commands_.OpenDefinition();
        setWindowTitle(Q(commands_.Caption()));
        backup_->setChecked(state_.Definition.BackupFlag);
        Edit([] { return false; });
    });
    connect(save_, &QToolButton::clicked, this, [this] { commands_.SaveDefinition(); });
    connect(undo_, &QToolButton::clicked, this,
            [this] { Edit([this] { return PopUndo(state_, panel_) && false; }); });
    connect(help_, &QToolButton::clicked, this, &MainWindow::OpenHelp);
    connect(cmdOk_, &QPushButton::clicked, this, &QWidget::close);
    connect(cmdOut_, &QPushButton::clicked, this, [this] { ChooseFile(kOutputSide); });
    connect(cmdIn_, &QPushButton::clicked, this, [this] { ChooseFile(kInputSide); });
    connect(fieldSet_, &QPushButton::clicked, this, [this] { OpenFieldSettings(false); });
    connect(start_, &QPushButton::clicked, this, &MainWindow::StartImport);
    ConnectMappingControls(
        this, {sendOut_, sendIn_, setOrder_, back0_, back1_, fuseigou_, list0_, list1_, grid_},
        operations_, panel_, [this](const std::function<bool()>& operation) { Edit(operation); });
    connect(grid_, &MappingGridWidget::pressedCell, this,
            [this](int row, int col, bool right, QPoint at) {
                if (row < 0) return;
                if (!right) operations_.ToggleMark(row, col);
                const bool popup = moves_.PressGrid(row, col, right);
                Render(panel_, list0_, list1_, grid_);
                EnabledSwitch();
                if (popup) {
                    popupFields_->setEnabled(popup_.FieldSettingsEnabled);
                    popupMenu_->popup(at);
                }
            });
    connect(popupFields_, &QAction::triggered, this, [this] { OpenFieldSettings(true); });
    connect(popupMove_, &QAction::triggered, this, [this] {
        moves_.MarkRowForMoving();
        EnabledSwitch();
    });
    connect(popupAbove_, &QAction::triggered, this,
            [this] { Edit([this] { return moves_.InsertAbove() && false; }); });
    connect(popupBelow_, &QAction::triggered, this,
            [this] { Edit([this] { return moves_.InsertBelow() && false; }); });
    connect(backup_, &QAction::toggled, this,
            [this](bool on) { state_.Definition.BackupFlag = on; });
    connect(showErrors_, &QAction::triggered, this, &MainWindow::ShowErrors);
    connect(version_, &QAction::triggered, this, &MainWindow::ShowVersion);
}

void MainWindow::SetTabOrder() {
    // As the controls stand on screen: the tool row, the file and start buttons, then the
    // mapping from left to right with the arrow buttons between.
    SetTabChain({new_,    open_,     save_,  undo_,    help_,     cmdOut_,   fieldSet_,
                 start_,  cmdIn_,    list0_, sendOut_, back0_,    fuseigou_, grid_,
                 sendIn_, setOrder_, back1_, list1_,   pathLine_, cmdOk_});
    // "ﾌｨｰﾙﾄﾞ設定(&F)" and the menu "ファイル(&F)" share their key.
    new SharedMnemonic(centralWidget(), fieldSet_);
}

bool MainWindow::StartUp(const QString& commandLineFile) {
    const std::string folder = TemporaryFolder();
    state_.WorkDbPath = ReserveTemporaryFile(folder, "imp");
    if (state_.WorkDbPath.empty()) {
        state_.Errors.AddErrorLine(NoTemporaryFolderMessage());
        return false;
    }
    ::unlink(state_.WorkDbPath.c_str());
    state_.WorkDbPath += ".mdb";
    CreateUndoFiles(state_, folder);
    QString file = commandLineFile;
    file.remove('"');
    if (file.isEmpty()) return true;
    if (!commands_.OpenDefinition(file.toStdString())) return false;
    setWindowTitle(Q(commands_.Caption()));
    backup_->setChecked(state_.Definition.BackupFlag);
    Edit([] { return false; });
    return true;
}

void MainWindow::EnabledSwitch() {
    if (run_) {
        // The run works on the state the rules read; until it ends nothing here may act.
        centralWidget()->setEnabled(false);
        menuBar()->setEnabled(false);
        return;
    }
    const MainButtons b = MainEnabledSwitch(state_, panel_);
    sendOut_->setEnabled(b.CmdSendOut);
    back0_->setEnabled(b.CmdBack0);
    setOrder_->setEnabled(b.CmdSetOrder);
    sendIn_->setEnabled(b.CmdSendIN);
    back1_->setEnabled(b.CmdBack1);
    start_->setEnabled(b.CmdStart);
    fieldSet_->setEnabled(b.CmdFieldSet);
    save_->setEnabled(b.Save);
    showErrors_->setEnabled(b.CmdErr);
    cmdIn_->setEnabled(b.CmdIn);
    fuseigou_->setEnabled(b.CmdFuseigou);
    undo_->setEnabled(panel_.UndoEnabled);
    popupAbove_->setEnabled(popup_.InsertEnabled);
    popupBelow_->setEnabled(popup_.InsertEnabled);
    // Busy while an edit runs and while the field settings window is open.
    centralWidget()->setEnabled(!panel_.Busy);
    menuBar()->setEnabled(!panel_.Busy);
}

void MainWindow::ShowErrors() {
    if (!errorWindow_) errorWindow_ = new ErrorWindow(state_.Errors, this);
    errorWindow_->Refresh();
    errorWindow_->show();
    errorWindow_->raise();
    EnabledSwitch();
}

void MainWindow::ChooseFile(int side) {
    const auto path = dialogs_.AskDataFile(side);
    if (!path) return;
    const bool showErrors = catalog_.ChooseFile(side, *path);
    Edit([showErrors] { return showErrors; });
}

void MainWindow::StartImport() {
    // The run rewrites the error log from its thread: the window showing it must not read it
    // meanwhile, so it closes and comes back with the run's own lines.
    if (errorWindow_) errorWindow_->close();
    ImportSession session(this, state_, engine_, prompt_);
    run_ = &session;
    EnabledSwitch();
    const RunOutcome outcome = session.Run();
    run_ = nullptr;
    // The history goes only when the run staged its input; a No or a failed check keeps it.
    if (outcome.Staged) ClearUndo(state_, panel_);
    EnabledSwitch();
    if (closeAfterRun_) close();
}

void MainWindow::OpenFieldSettings(bool fromPopup) {
    if (fieldSettings_ && fieldSettings_->isVisible()) {
        fieldSettings_->raise();
        return;
    }
    if (!fromPopup && state_.Definition.TableMax <= 0) return;
    state_.Errors.Clear();
    if (!fromPopup && state_.CurrentTable == 0) state_.CurrentTable = 1;
    fieldSettings_ = new FieldSettingsWindow(*this, engine_, catalog_);
    fieldSettings_->show();
    if (fromPopup) ClearUndo(state_, panel_);
    EnabledSwitch();
}

void MainWindow::ShowVersion() {
    // One box, brought to the front when picked again; a closed one is on its way out.
    if (!versionBox_ || !versionBox_->isVisible()) versionBox_ = new VersionBox(this);
    versionBox_->show();
    versionBox_->raise();
    versionBox_->activateWindow();
}

void MainWindow::OpenHelp() {
    // The help file sits beside the program: the compiled help when there is one and something
    // opens it, else the HTML guide. Failures are not reported.
    const QDir folder(QCoreApplication::applicationDirPath());
    const QString chm = folder.filePath("vantrel.chm");
    if (QFileInfo::exists(chm) && QDesktopServices::openUrl(QUrl::fromLocalFile(chm))) return;
    const QString html = folder.filePath("vantrel.html");
    if (QFileInfo::exists(html)) QDesktopServices::openUrl(QUrl::fromLocalFile(html));
}

void MainWindow::RefreshPathLine() {
    const QString text = Q(PathLineText(state_.Definition));
    pathLine_->setText(text);
    const int textWidth = ToTwips(this, pathLine_->fontMetrics().horizontalAdvance(text));
    const TextBoxPlace place =
        PlacePathLine(textWidth, ToTwips(this, list0_->y()), ToTwips(this, list0_->height()),
                      ToTwips(this, frame_->width()), ToTwips(this, width()));
    pathLine_->setGeometry(ToPixels(this, place.Left), ToPixels(this, place.Top),
                           ToPixels(this, place.Width), ToPixels(this, kPathLineHeight));
}

void MainWindow::FitColumns() {
    FitGridColumns(panel_, operations_, grid_);
}

void MainWindow::Layout() {
    if (ToTwips(this, frameGeometry().width()) < 6000 ||
        ToTwips(this, frameGeometry().height()) < 5000)
        return;
    auto px = [this](int twips) { return ToPixels(this, twips); };
    auto tw = [this](int pixels) { return ToTwips(this, pixels); };
    QWidget* client = centralWidget();
    const int frameLeft = tw(frame_->x()), frameTop = tw(frame_->y());
    const int frameWidth = tw(client->width()) - frameLeft;
    const int frameHeight = tw(client->height()) - frameTop;
    frame_->resize(px(frameWidth), px(frameHeight));
    cmdOk_->move(px(frameLeft + frameWidth - tw(cmdOk_->width()) - 50), cmdOk_->y());
    const int listLeft = tw(list0_->x());
    const int arrowWidth = tw(sendOut_->width());
    const int w = (frameWidth - 2 * listLeft - 2 * (arrowWidth + 40) - 30) / 4;
    const int h = frameHeight - tw(list0_->y()) - kPathLineHeight - 80;
    list0_->resize(px(w), px(h));
    const int leftColumn = listLeft + w + 20;
    for (QWidget* b : {static_cast<QWidget*>(sendOut_), static_cast<QWidget*>(back0_),
                       static_cast<QWidget*>(fuseigou_)}) {
        b->move(px(leftColumn), b->y());
    }
    const int gridLeft = leftColumn + arrowWidth + 20;
    grid_->setGeometry(px(gridLeft), list0_->y(), px(2 * w), px(h));
    FitColumns();
    const int rightColumn = gridLeft + 2 * w + 20;
    for (QWidget* b : {static_cast<QWidget*>(sendIn_), static_cast<QWidget*>(setOrder_),
                       static_cast<QWidget*>(back1_)}) {
        b->move(px(rightColumn), b->y());
    }
    const int list1Left = rightColumn + arrowWidth + 20;
    list1_->setGeometry(px(list1Left), list0_->y(), px(w), px(h));
    cmdOut_->move(px(listLeft + (w - tw(cmdOut_->width())) / 2), cmdOut_->y());
    cmdIn_->move(px(list1Left + (w - tw(cmdIn_->width())) / 2), cmdIn_->y());
    const int fieldSetLeft = gridLeft + (2 * w - tw(start_->width())) / 3;
    fieldSet_->move(px(fieldSetLeft), fieldSet_->y());
    start_->move(px(fieldSetLeft + tw(fieldSet_->width()) + 10), start_->y());
    RefreshPathLine();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Layout();
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) EnabledSwitch();
    QMainWindow::changeEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (run_) {
        // The run is stopped and waited for first; the window closes once it has ended.
        event->ignore();
        if (closeAfterRun_ || !prompt_.AskYesNo("ｲﾝﾎﾟｰﾄ中です。中止して終了しますか？")) return;
        closeAfterRun_ = true;
        run_->Cancel();
        return;
    }
    // The field settings window is left the way "戻　る" leaves it, so its edits are saved
    // below; it refuses while its own dialog is open, and so does this window.
    if (fieldSettings_ && fieldSettings_->isVisible() && !fieldSettings_->close()) {
        event->ignore();
        return;
    }
    if (!shutDown_) {
        shutDown_ = true;
        std::error_code ec;
        std::filesystem::remove(state_.WorkDbPath, ec);
        DeleteUndoFiles(state_);
        if (state_.Definition.Modified && prompt_.AskYesNo("インポート定義を保存しますか?"))
            commands_.SaveDefinition();
    }
    event->accept();
}

}  // namespace vantrel::gui
