// The archive picker: asks to which of the opened archives an add goes.
#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;
class QPushButton;

namespace kelp {

class ArchivePicker : public QDialog {
    Q_OBJECT
  public:
    explicit ArchivePicker(QWidget* parent = nullptr);

    // The opened archives (full paths, in opening order), listed on show.
    QStringList Zipfiles;
    bool Accepted = false;
    QString ChosenArchive;  // kept between uses

    QComboBox* archiveCombo() const { return archiveCombo_; }
    QPushButton* okButton() const { return okButton_; }

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void OkClick();

    QComboBox* archiveCombo_;
    QPushButton* okButton_;
    bool shownBefore_ = false;
};

}  // namespace kelp
