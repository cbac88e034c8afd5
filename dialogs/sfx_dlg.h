// The self-extractor settings dialog: the default extraction folder, the
// welcome message and the caption that go into a self-extracting archive.
#pragma once

#include <QDialog>

#include "dialogs/settings.h"

class QLineEdit;
class QPushButton;

namespace engine {
class ZipEngine;
}

namespace kelp {

class SfxDlg : public QDialog {
    Q_OBJECT
  public:
    // Shows the three texts of `settings`; OK stores the edited texts there
    // and in `engine`.
    SfxDlg(engine::ZipEngine& engine, kelp::Settings& settings, QWidget* parent = nullptr);

    bool Accepted = false;

    QLineEdit* defaultDirEdit() const { return defaultDirEdit_; }
    QLineEdit* messageEdit() const { return messageEdit_; }
    QLineEdit* captionEdit() const { return captionEdit_; }
    QPushButton* okButton() const { return okButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void OkClick();

    engine::ZipEngine& engine_;
    kelp::Settings& settings_;
    QLineEdit* defaultDirEdit_;
    QLineEdit* messageEdit_;
    QLineEdit* captionEdit_;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
    bool shownBefore_ = false;
};

}  // namespace kelp
