// The password dialog: a prompt above an edit that hides what is typed, with
// OK and Cancel. The shell's host interface shows it for the engine.
#pragma once

#include <QDialog>

#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kelp {

class PasswordDlg : public QDialog {
    Q_OBJECT
  public:
    explicit PasswordDlg(QWidget* parent = nullptr);

    QLabel* Prompt() const { return prompt_; }
    QLineEdit* Password() const { return password_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

    // Shows the dialog modally with `title` and `prompt`. Returns 1 and the
    // text entered when closed with OK, else 0 and an empty text.
    static int AskPassword(QWidget* parent, const QString& title, const QString& prompt,
                           std::string& password);

  private:
    QLabel* prompt_;
    QLineEdit* password_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

}  // namespace kelp
