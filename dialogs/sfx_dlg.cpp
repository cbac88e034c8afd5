#include "sfx_dlg.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "centre_on_desktop.h"

namespace kelp {

SfxDlg::SfxDlg(kelp::Settings& settings, QWidget* parent) : QDialog(parent), settings_(settings) {
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle("SFX");
    auto* group = new QGroupBox("SFX", this);
    group->setObjectName("sfxGroup");
    auto* rows = new QVBoxLayout(group);
    auto field = [&](const char* caption, const char* name, const char* hint = nullptr) {
        auto* label = new QLabel(caption, group);
        label->setObjectName(QString(name) + "Label");
        auto* head = new QHBoxLayout;
        head->addWidget(label);
        if (hint) {
            auto* note = new QLabel(hint, group);
            note->setObjectName("tempFolderHint");
            head->addWidget(note);
        }
        head->addStretch();
        auto* edit = new QLineEdit(group);
        edit->setObjectName(name);
        label->setBuddy(edit);
        rows->addLayout(head);
        rows->addWidget(edit);
        return edit;
    };
    defaultDirEdit_ = field("Default Directory for extract", "defaultDirEdit",
                            "(Use >< for extract to Temp dir)");
    messageEdit_ = field("Wellcome Message", "messageEdit");
    captionEdit_ = field("Caption of the SFX", "captionEdit");

    okButton_ = new QPushButton("OK", this);
    okButton_->setObjectName("okButton");
    okButton_->setDefault(true);
    cancelButton_ = new QPushButton("Cancel", this);
    cancelButton_->setObjectName("cancelButton");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch();
    layout->addLayout(buttons);
    setMinimumSize(minimumSizeHint().expandedTo(QSize(317, 179)));
    resize(sizeHint().expandedTo(QSize(400, 0)));

    connect(okButton_, &QPushButton::clicked, this, &SfxDlg::OkClick);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
}

void SfxDlg::showEvent(QShowEvent* e) {
    defaultDirEdit_->setText(settings_.SFXDefaultDir);
    messageEdit_->setText(settings_.SFXMessage);
    captionEdit_->setText(settings_.SFXCaption);
    Accepted = false;
    if (!shownBefore_) {
        shownBefore_ = true;
        CentreOnDesktop(this);
    }
    QDialog::showEvent(e);
}

void SfxDlg::OkClick() {
    Accepted = true;
    settings_.SFXDefaultDir = defaultDirEdit_->text();
    settings_.SFXMessage = messageEdit_->text();
    settings_.SFXCaption = captionEdit_->text();
    Choices = {};
    Choices.defaultDir = settings_.SFXDefaultDir.toStdString();
    Choices.caption = settings_.SFXCaption.toStdString();
    Choices.message = settings_.SFXMessage.toStdString();
    accept();
}

}  // namespace kelp
