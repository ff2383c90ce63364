#include "ImportMethodDialog.h"

#include <QCloseEvent>

#include "Twips.h"

namespace vantrel::gui {

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

void Show(QWidget* w, const MethodControl& c) {
    w->setVisible(c.Visible);
    w->setEnabled(c.Enabled);
}

}  // namespace

ImportMethodDialog::ImportMethodDialog(SessionState& state, Engine& engine, FieldLister& fields,
                                       MappingPanel& fieldPanel, UserPrompt* answers,
                                       QWidget* owner)
    : QWidget(owner, Qt::Window),
      prompt_(this),
      method_(state, engine, fields, fieldPanel, prompt_) {
    prompt_.SetOverride(answers);
    setObjectName("Form3");
    setAttribute(Qt::WA_DeleteOnClose);
    auto px = [this](int twips) { return ToPixels(this, twips); };
    frame1_ = new QGroupBox(this);
    frame1_->setObjectName("Frame1");
    for (int i = 0; i < 3; ++i) {
        options_[static_cast<std::size_t>(i)] = new QRadioButton(frame1_);
        options_[static_cast<std::size_t>(i)]->setObjectName(QString("Option2_%1").arg(i));
        options_[static_cast<std::size_t>(i)]->setGeometry(px(200), px(180 + 360 * i), px(6000),
                                                           px(330));
    }
    frame2_ = new QGroupBox(this);
    frame2_->setObjectName("Frame2");
    label1_ = new QLabel(frame2_);
    label1_->setObjectName("Label1");
    label1_->setGeometry(px(200), px(240), px(3600), px(300));
    text1_ = new QLineEdit(frame2_);
    text1_->setObjectName("Text1");
    text1_->setGeometry(px(3900), px(200), px(2700), px(360));
    check2_ = new QCheckBox(frame2_);
    check2_->setObjectName("Check2");
    check2_->setGeometry(px(200), px(680), px(2000), px(330));
    headerRow_ = new QPushButton(frame2_);
    headerRow_->setObjectName("CmdOK");
    headerRow_->setGeometry(px(2400), px(650), px(1500), px(380));
    label3_ = new QLabel(frame2_);
    label3_->setObjectName("Label3");
    label3_->setGeometry(px(4000), px(700), px(1200), px(300));
    check1_ = new QCheckBox(frame2_);
    check1_->setObjectName("Check1");
    check1_->setGeometry(px(200), px(1120), px(5500), px(330));
    label2_ = new QLabel(frame2_);
    label2_->setObjectName("Label2");
    label2_->setGeometry(px(200), px(1560), px(1400), px(300));
    text2_ = new QLineEdit(frame2_);
    text2_->setObjectName("Text2");
    text2_->setGeometry(px(1700), px(1520), px(900), px(360));
    preview_ = new QListWidget(frame2_);
    preview_->setObjectName("List1");
    preview_->setGeometry(px(200), px(2000), px(6500), px(2300));
    apply_ = new QPushButton(this);
    apply_->setObjectName("Cmdupdt");

    for (int i = 0; i < 3; ++i) {
        connect(options_[static_cast<std::size_t>(i)], &QRadioButton::clicked, this, [this, i] {
            method_.Option2Click(i);
            Render();
        });
    }
    connect(text1_, &QLineEdit::textEdited, this,
            [this](const QString& t) { method_.Text1Change(t.toStdString()); });
    connect(text1_, &QLineEdit::editingFinished, this, [this] {
        method_.Text1LostFocus();
        Render();
    });
    connect(text2_, &QLineEdit::textEdited, this,
            [this](const QString& t) { method_.Text2Change(t.toStdString()); });
    connect(check1_, &QCheckBox::clicked, this, [this](bool on) {
        method_.Check1GotFocus();
        method_.Check1Click(on);
        Render();
    });
    connect(check2_, &QCheckBox::clicked, this, [this](bool on) {
        method_.Check2Click(on);
        Render();
    });
    connect(headerRow_, &QPushButton::clicked, this, [this] {
        method_.CmdOKClick();
        Render();
    });
    connect(apply_, &QPushButton::clicked, this, [this] {
        const MethodApplyResult result = method_.CmdupdtClick();
        Render();
        if (!result.Close) return;
        applied_ = true;
        emit applied(result);
        close();
    });
    method_.Load();
    Render();
}

void ImportMethodDialog::Render() {
    const ImportMethodForm& f = method_.Form();
    auto px = [this](int twips) { return ToPixels(this, twips); };
    setWindowTitle(Q(f.Caption));
    setEnabled(f.Enabled);
    frame1_->setGeometry(px(120), px(f.Frame1.Top), px(7200), px(f.Frame1.Height));
    Show(frame1_, f.Frame1);
    for (std::size_t i = 0; i < options_.size(); ++i) {
        options_[i]->setText(Q(f.Option2[i].Caption));
        options_[i]->setChecked(f.Option2[i].Value);
        Show(options_[i], f.Option2[i]);
    }
    frame2_->setGeometry(px(120), px(f.Frame2.Top), px(7200), px(f.Frame2.Height));
    Show(frame2_, f.Frame2);
    label1_->setText(Q(f.Label1.Caption));
    Show(label1_, f.Label1);
    if (text1_->text() != Q(f.Text1.Text)) text1_->setText(Q(f.Text1.Text));
    Show(text1_, f.Text1);
    check2_->setText(Q(f.Check2.Caption));
    check2_->setChecked(f.Check2.Value);
    Show(check2_, f.Check2);
    check1_->setText(Q(f.Check1.Caption));
    check1_->setChecked(f.Check1.Value);
    Show(check1_, f.Check1);
    label3_->setText(Q(f.Label3.Caption));
    Show(label3_, f.Label3);
    label2_->setText(Q(f.Label2.Caption));
    Show(label2_, f.Label2);
    if (text2_->text() != Q(f.Text2.Text)) text2_->setText(Q(f.Text2.Text));
    Show(text2_, f.Text2);
    headerRow_->setText(Q(f.CmdOK.Caption));
    Show(headerRow_, f.CmdOK);
    preview_->clear();
    for (const auto& line : f.List1.Items)
        preview_->addItem(Q(line));
    Show(preview_, f.List1);
    apply_->setText(Q(f.Cmdupdt.Caption));
    apply_->setGeometry(px(5700), px(f.Cmdupdt.Top), px(1500), px(f.Cmdupdt.Height));
    Show(apply_, f.Cmdupdt);
    resize(px(7560), px(f.Height));
}

void ImportMethodDialog::closeEvent(QCloseEvent* event) {
    if (!applied_) method_.Unload();
    emit closed();
    event->accept();
}

}  // namespace vantrel::gui
