#include "qt_host_ui.h"

#include <QApplication>
#include <QMessageBox>

#include "password_dlg.h"

namespace kelp {

engine::Answer QtHostUi::AskQuestion(const std::string& title, const std::string& text,
                                     engine::Buttons buttons) {
    QMessageBox::StandardButtons set;
    switch (buttons) {
        case engine::Buttons::OkCancel:
            set = QMessageBox::Ok | QMessageBox::Cancel;
            break;
        case engine::Buttons::YesNoCancel:
            set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
            break;
        case engine::Buttons::RetryCancel:
            set = QMessageBox::Retry | QMessageBox::Cancel;
            break;
    }
    switch (QMessageBox::question(window_, QString::fromStdString(title),
                                  QString::fromStdString(text), set)) {
        case QMessageBox::Ok:
            return engine::Answer::Ok;
        case QMessageBox::Yes:
            return engine::Answer::Yes;
        case QMessageBox::No:
            return engine::Answer::No;
        case QMessageBox::Retry:
            return engine::Answer::Retry;
        default:
            return engine::Answer::Cancel;
    }
}

void QtHostUi::ShowMessage(const std::string& text) {
    QMessageBox::information(window_, QApplication::applicationDisplayName(),
                             QString::fromStdString(text));
}

bool QtHostUi::PasswordDialog(const std::string& title, const std::string& prompt,
                              std::string& password) {
    return PasswordDlg::AskPassword(window_, QString::fromStdString(title),
                                    QString::fromStdString(prompt), password) == 1;
}

void QtHostUi::SetBusyCursor(bool busy) {
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void QtHostUi::ProcessPendingMessages() {
    // The engine asks after every member; the window turns its event loop at
    // most every 20 ms, which keeps it live (repaints, the halt button) without
    // repainting once per member.
    if (sinceEvents_.isValid() && sinceEvents_.elapsed() < 20) return;
    QCoreApplication::processEvents();
    sinceEvents_.start();
}

}  // namespace kelp
