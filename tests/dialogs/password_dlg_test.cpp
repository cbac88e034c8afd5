// The password dialog: what OK, Cancel and the close box hand back.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

#include "password_dlg.h"

using kelp::PasswordDlg;

namespace {

// Runs `act` on the dialog once it shows.
void WhenShown(std::function<void(PasswordDlg*)> act) {
    QTimer::singleShot(0, [act] {
        if (auto* d = qobject_cast<PasswordDlg*>(QApplication::activeModalWidget())) act(d);
    });
}

}  // namespace

TEST(PasswordDlg, OkHandsBackAtMostEightyCharacters) {
    std::string password;
    WhenShown([](PasswordDlg* d) {
        EXPECT_EQ(d->windowTitle(), "Title");
        EXPECT_EQ(d->Prompt()->text(), "Enter it");
        EXPECT_EQ(d->Password()->echoMode(), QLineEdit::Password);
        d->Password()->insert(QString(100, 'p'));
        d->OkButton()->click();
    });
    EXPECT_EQ(PasswordDlg::AskPassword(nullptr, "Title", "Enter it", password), 1);
    EXPECT_EQ(password, std::string(80, 'p'));
}

TEST(PasswordDlg, CancelAndCloseBoxHandBackNothing) {
    for (bool closeBox : {false, true}) {
        std::string password = "old";
        WhenShown([closeBox](PasswordDlg* d) {
            d->Password()->setText("typed");
            closeBox ? (void)d->close() : d->CancelButton()->click();
        });
        EXPECT_EQ(PasswordDlg::AskPassword(nullptr, "T", "P", password), 0) << closeBox;
        EXPECT_EQ(password, "");
    }
}
