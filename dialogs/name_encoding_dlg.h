// "Name encoding": which code page the names of one archive are read in.
// The list on the left holds "Automatic" (what Kelp detected) and every code
// page Kelp knows; the list on the right shows the archive's names as the
// highlighted choice would read them, so the user picks by what looks right.
#pragma once

#include <QDialog>

#include <string>
#include <vector>

#include "name_encoding.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace kelp {

// The names of an archive whose reading depends on the code page: neither
// flagged UTF-8 nor carrying a Unicode path field, nor plain ASCII.
struct NameSample {
    std::vector<std::string> stored;  // raw bytes of up to kMaxShown such names
    std::vector<std::vector<uint8_t>> extras;
    std::vector<uint16_t> flags;
    size_t dependent = 0;  // how many names of the archive depend on it
    size_t total = 0;      // members in the archive
    std::string detected;  // the code page detected for the archive
    std::string error;     // why the archive could not be read, if so
    static constexpr size_t kMaxShown = 500;
};

// Reads the archive's directory for the sample.
NameSample ReadNameSample(const std::string& archive);

class NameEncodingDlg : public QDialog {
    Q_OBJECT
  public:
    // `chosen` is the archive's current choice (empty: automatic).
    NameEncodingDlg(const QString& archiveName, NameSample sample, const std::string& chosen,
                    QWidget* parent = nullptr);

    // The code page chosen (an iconv name); empty for "Automatic".
    std::string Chosen() const;
    QListWidget* encodings() const { return encodings_; }
    QListWidget* preview() const { return preview_; }
    QPushButton* okButton() const { return ok_; }

  private:
    void ShowPreview();

    NameSample sample_;
    std::vector<zip::CharsetChoice> choices_;
    QListWidget* encodings_;
    QListWidget* preview_;
    QLabel* summary_;
    QPushButton* ok_;
};

}  // namespace kelp
