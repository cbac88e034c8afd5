#include "qt_host_ui.h"

#include <time.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "password_dlg.h"

namespace kelp {

engine::Answer QtHostUi::AskQuestion(const std::string& title, const std::string& text,
                                     engine::Buttons buttons) {
    return AskQuestion(title, text, buttons, engine::Answer::None);
}

engine::Answer QtHostUi::AskQuestion(const std::string& title, const std::string& text,
                                     engine::Buttons buttons, engine::Answer defaultAnswer) {
    // The engine's answers and the boxes' buttons, one for one.
    static const std::pair<engine::Answer, QMessageBox::StandardButton> kAnswers[] = {
        {engine::Answer::Ok, QMessageBox::Ok},
        {engine::Answer::Yes, QMessageBox::Yes},
        {engine::Answer::No, QMessageBox::No},
        {engine::Answer::Retry, QMessageBox::Retry},
        {engine::Answer::Cancel, QMessageBox::Cancel}};
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
    QMessageBox box(QMessageBox::Question, QString::fromStdString(title),
                    QString::fromStdString(text), set, window_);
    for (const auto& [answer, button] : kAnswers)
        if (answer == defaultAnswer && (set & button)) box.setDefaultButton(button);
    const int pressed = box.exec();
    for (const auto& [answer, button] : kAnswers)
        if (pressed == button) return answer;
    return engine::Answer::Cancel;
}

void QtHostUi::ShowMessage(const std::string& text) {
    const QString path = repairablePath ? repairablePath() : QString();
    if (path.isEmpty() || !repair) {
        QMessageBox::information(window_, QApplication::applicationDisplayName(),
                                 QString::fromStdString(text));
        return;
    }
    QMessageBox box(QMessageBox::Information, QApplication::applicationDisplayName(),
                    QString::fromStdString(text), QMessageBox::Ok, window_);
    // The Yes button, named for what it does: tests and keyboard reach it
    // like any standard button; Escape and Enter still mean OK.
    QPushButton* repairButton = box.addButton(QMessageBox::Yes);
    repairButton->setText("&Repair…");
    box.setEscapeButton(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    if (box.clickedButton() == repairButton) repair(path);
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

namespace {

// Milliseconds of the coarse monotonic clock (a few ms fine), which is read
// from memory: the precise clock costs more than a small member's test.
int64_t CoarseMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace

void QtHostUi::ProcessPendingMessages() {
    // The engine asks after every member; the window turns its event loop at
    // most every 20 ms, which keeps it live (repaints, the halt button) without
    // repainting once per member.
    if (lastEventsMs_ >= 0 && CoarseMs() - lastEventsMs_ < 20) return;
    QCoreApplication::processEvents();
    lastEventsMs_ = CoarseMs();
}

}  // namespace kelp
