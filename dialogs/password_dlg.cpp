#include "password_dlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include "centre_on_desktop.h"
#include "engine/zip_messages.h"

namespace kelp {

PasswordDlg::PasswordDlg(QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(344, 137);
    QFont f("Arial");
    f.setPixelSize(12);
    f.setBold(true);
    setFont(f);

    prompt_ = new QLabel(this);
    prompt_->setGeometry(20, 8, 297, 18);
    password_ = new QLineEdit(this);
    password_->setGeometry(20, 40, 297, password_->sizeHint().height());
    password_->setEchoMode(QLineEdit::Password);
    password_->setMaxLength(80);
    prompt_->setBuddy(password_);  // the prompt names the edit

    auto caption = [](int id, const char* fallback) {
        return QString::fromStdString(engine::LookupMessage(id, fallback));
    };
    ok_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), caption(10152, "&Ok"),
                          this);
    ok_->setGeometry(44, 72, 90, 28);
    ok_->setDefault(true);
    cancel_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                              caption(10153, "&Cancel"), this);
    cancel_->setGeometry(205, 72, 90, 28);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

int PasswordDlg::AskPassword(QWidget* parent, const QString& title, const QString& prompt,
                             std::string& password) {
    PasswordDlg dlg(parent);
    dlg.setWindowTitle(title);
    dlg.prompt_->setText(prompt);
    CentreOnDesktop(&dlg);
    const bool ok = dlg.exec() == QDialog::Accepted;
    password = ok ? dlg.password_->text().toStdString() : std::string();
    return ok ? 1 : 0;
}

}  // namespace kelp
