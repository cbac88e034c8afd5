// The self-extractor settings dialog: the default extraction folder, the
// welcome message and the caption that go into a self-extracting archive.
#pragma once

#include <QDialog>

#include "dialogs/settings.h"
#include "engine/requests.h"

class QLineEdit;
class QPushButton;

namespace kelp {

class SfxDlg : public QDialog {
    Q_OBJECT
  public:
    // Shows the three texts of `settings`; OK stores the edited texts there
    // and in Choices.
    explicit SfxDlg(kelp::Settings& settings, QWidget* parent = nullptr);

    bool Accepted = false;
    // What the program made on OK does when it runs: the three texts, the
    // rest as a self-extractor starts.
    engine::SfxSettings Choices;

    QLineEdit* defaultDirEdit() const { return defaultDirEdit_; }
    QLineEdit* messageEdit() const { return messageEdit_; }
    QLineEdit* captionEdit() const { return captionEdit_; }
    QPushButton* okButton() const { return okButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void OkClick();

    kelp::Settings& settings_;
    QLineEdit* defaultDirEdit_;
    QLineEdit* messageEdit_;
    QLineEdit* captionEdit_;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
    bool shownBefore_ = false;
};

}  // namespace kelp
