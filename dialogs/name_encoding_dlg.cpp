#include "name_encoding_dlg.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "archive_reader.h"
#include "name_encoding.h"
#include "zip_records.h"

namespace kelp {

NameSample ReadNameSample(const std::string& archive) {
    NameSample sample;
    zip::ArchiveReader reader;
    if (!reader.Open(archive, sample.error)) return sample;
    sample.detected = reader.nameCharset();
    sample.total = reader.entries().size();
    for (const zip::MemberEntry& e : reader.entries()) {
        if ((e.header.flags & zip::kFlagUtf8) || zip::IsAscii(e.name) ||
            zip::FindExtraField(e.extra, zip::kExtraUnicodePath))
            continue;
        if (sample.dependent++ < NameSample::kMaxShown) {
            sample.stored.emplace_back(e.name);
            sample.extras.emplace_back(e.extra.begin(), e.extra.end());
            sample.flags.push_back(e.header.flags);
        }
    }
    return sample;
}

NameEncodingDlg::NameEncodingDlg(const QString& archiveName, NameSample sample,
                                 const std::string& chosen, QWidget* parent)
    : QDialog(parent), sample_(std::move(sample)), choices_(zip::CandidateCharsets()) {
    setWindowTitle("Name encoding");
    auto* layout = new QGridLayout(this);
    auto* heading = new QLabel(
        QString("How the member names of %1 are read:").arg(QFileInfo(archiveName).fileName()),
        this);
    encodings_ = new QListWidget(this);
    encodings_->setAccessibleName("Encodings");
    heading->setBuddy(encodings_);
    preview_ = new QListWidget(this);
    preview_->setAccessibleName("Names as read");
    preview_->setFocusPolicy(Qt::NoFocus);  // shows; the keyboard stays on the choice
    summary_ = new QLabel(this);
    summary_->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    QString automatic = "Automatic";
    for (const zip::CharsetChoice& c : choices_)
        if (c.charset == sample_.detected)
            automatic += QString(" (%1)").arg(QString::fromStdString(c.label));
    encodings_->addItem(automatic);
    int current = 0;
    for (size_t i = 0; i < choices_.size(); ++i) {
        encodings_->addItem(QString::fromStdString(choices_[i].label));
        if (choices_[i].charset == chosen) current = static_cast<int>(i) + 1;
    }
    encodings_->setMinimumWidth(encodings_->sizeHintForColumn(0) + 24);
    preview_->setMinimumWidth(360);

    layout->addWidget(heading, 0, 0, 1, 2);
    layout->addWidget(encodings_, 1, 0);
    layout->addWidget(preview_, 1, 1);
    layout->addWidget(summary_, 2, 0, 1, 2);
    layout->addWidget(buttons, 3, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    resize(720, 420);

    connect(encodings_, &QListWidget::currentRowChanged, this, &NameEncodingDlg::ShowPreview);
    encodings_->setCurrentRow(current);
    encodings_->setFocus();
}

std::string NameEncodingDlg::Chosen() const {
    const int row = encodings_->currentRow();
    return row <= 0 ? std::string() : choices_[static_cast<size_t>(row) - 1].charset;
}

void NameEncodingDlg::ShowPreview() {
    preview_->clear();
    if (!sample_.error.empty()) {
        summary_->setText(
            QString("The archive cannot be read: %1").arg(QString::fromStdString(sample_.error)));
        return;
    }
    if (sample_.dependent == 0) {
        summary_->setText(QString("All %1 names of this archive are ASCII or marked as UTF-8: "
                                  "the encoding does not change them.")
                              .arg(sample_.total));
        return;
    }
    // Automatic reads as listing does; a chosen page decodes even names that
    // happen to be valid UTF-8.
    const std::string chosen = Chosen();
    const std::string& charset = chosen.empty() ? sample_.detected : chosen;
    for (size_t i = 0; i < sample_.stored.size(); ++i) {
        const zip::StoredName name{sample_.stored[i], sample_.extras[i], sample_.flags[i], 0};
        preview_->addItem(
            QString::fromStdString(zip::DecodeStoredName(name, charset, !chosen.empty())));
    }
    QString text =
        QString("%1 of %2 names depend on the encoding").arg(sample_.dependent).arg(sample_.total);
    if (sample_.dependent > sample_.stored.size())
        text += QString("; the first %1 are shown").arg(sample_.stored.size());
    summary_->setText(text + ".");
}

}  // namespace kelp
