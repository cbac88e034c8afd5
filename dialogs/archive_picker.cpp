#include "archive_picker.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

#include "accessible_name.h"
#include "centre_on_desktop.h"

namespace kelp {

ArchivePicker::ArchivePicker(QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowStaysOnTopHint);
    setWindowTitle("Add to which archive");
    archiveCombo_ = new QComboBox(this);
    archiveCombo_->setObjectName("archiveCombo");
    archiveCombo_->setEditable(true);
    archiveCombo_->setInsertPolicy(QComboBox::NoInsert);
    archiveCombo_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    archiveCombo_->setMinimumContentsLength(30);
    SetAccessibleName(archiveCombo_, "Archive");
    okButton_ = new QPushButton("OK", this);
    okButton_->setObjectName("okButton");
    okButton_->setDefault(true);
    auto* row = new QHBoxLayout(this);
    row->addWidget(archiveCombo_, 1);
    row->addWidget(okButton_);
    setMinimumSize(minimumSizeHint().expandedTo(QSize(365, 44)));
    connect(okButton_, &QPushButton::clicked, this, &ArchivePicker::OkClick);
}

void ArchivePicker::showEvent(QShowEvent* e) {
    archiveCombo_->clear();
    archiveCombo_->addItems(Zipfiles);
    archiveCombo_->setCurrentIndex(0);
    archiveCombo_->setEditText("Pick a zip file");
    Accepted = false;
    // Wide enough to show the longest path whole, in the box and its list.
    const int pathWidth = archiveCombo_->view()->sizeHintForColumn(0);
    archiveCombo_->view()->setMinimumWidth(pathWidth);
    if (const QScreen* s = QApplication::primaryScreen()) {
        const int wanted = pathWidth + okButton_->sizeHint().width() + 80;
        resize(std::min(std::max(width(), wanted), s->availableGeometry().width()), height());
    }
    if (!shownBefore_) {
        shownBefore_ = true;
        CentreOnDesktop(this);
    }
    QDialog::showEvent(e);
}

void ArchivePicker::OkClick() {
    // The item chosen from the list (the first until another is chosen); a
    // text typed into the combo is never taken.
    const int index = archiveCombo_->currentIndex();
    if (index >= 0 && index < Zipfiles.size()) {
        ChosenArchive = Zipfiles.at(index);
        Accepted = true;
    }
    accept();
}

}  // namespace kelp
