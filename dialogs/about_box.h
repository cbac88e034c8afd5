// The about box: the program and library versions, the readme (or the
// licence) in a read-only text area, and links to the home page and the
// message board.
#pragma once

#include <QColor>
#include <QDialog>
#include <QPixmap>

class QLabel;
class QPushButton;

namespace kelp {

class ColorMemo;
class ShellServices;

struct AboutInfo {
    int zipLibVersion = 0;  // 160 = 1.60; 0 when the library is missing
    int unzipLibVersion = 0;
    QString ver;                        // the settings' "Ver"; "1.20" when empty
    QString instDir;                    // the settings' "InstDir", ending in "/"
    QString homePage;                   // opened by the home page link
    QString messageBoard;               // opened by "Msg Board "
    QColor listBackground = Qt::white;  // the listing grid's colours
    QColor listText = Qt::black;
    QPixmap programIcon;
};

class AboutBox : public QDialog {
    Q_OBJECT
  public:
    // Fills itself once, from `info`; `shell` (not owned) opens the links.
    AboutBox(const AboutInfo& info, ShellServices* shell, QWidget* parent = nullptr);

    // A library version for the box: 160 gives "1.60", 161 "1.61", a
    // missing library (0) "00".
    static QString LibVersionText(int version);

    QLabel* versionLabel() const { return version_; }
    QLabel* zipVersion() const { return zipVersion_; }
    QLabel* unzipVersion() const { return unzipVersion_; }
    QLabel* kelpVersion() const { return kelpVersion_; }
    QLabel* homePageLink() const { return homePageLink_; }
    QLabel* readmeLink() const { return readmeLink_; }
    QLabel* licenseLink() const { return licenseLink_; }
    ColorMemo* notesMemo() const { return notesMemo_; }
    QPushButton* okButton() const { return okButton_; }

    // The readme or the licence from the install folder, when it is there.
    void ReadmeClick();
    void LicenseClick();

  private:
    void SetLink(QLabel* label, const QString& text, const QColor& color);
    bool LoadNotes(const QString& path);
    void ShowInstalledNotes(const QString& name, QLabel* link);

    AboutInfo info_;
    ShellServices* shell_;
    QLabel* version_;
    QLabel* zipVersion_;
    QLabel* unzipVersion_;
    QLabel* kelpVersion_;
    QLabel* homePageLink_;
    QLabel* msgBoardLink_;
    QLabel* readmeLink_;
    QLabel* licenseLink_;
    QLabel* qaLabel_ = nullptr;
    ColorMemo* notesMemo_;
    QPushButton* okButton_;
};

}  // namespace kelp
