// The drive combo: this machine's file systems a user picks folders on: the
// root, the home folder, removable media under /media, /run/media and /mnt,
// and network mounts. Each item reads "mount point: label".
#pragma once

#include <QComboBox>
#include <QStorageInfo>

#include <vector>

namespace kelp {

struct DriveItem {
    QString mountPoint;
    QString label;
    enum Kind { Fixed, Home, Removable, Network } kind = Fixed;
    QString Text() const;  // "%s: %s"
};

// What the combo needs to know of one mounted file system.
struct MountInfo {
    QString rootPath;
    QByteArray fileSystemType;
    QString name;  // the volume label, often empty
    QByteArray device;
};

// The drives to list, root and home first, then removable and network
// mounts by mount point.
std::vector<DriveItem> ListDrives(const std::vector<MountInfo>& mounts, const MountInfo& root,
                                  const QString& home);

class DriveComboBox : public QComboBox {
    Q_OBJECT
  public:
    explicit DriveComboBox(QWidget* parent = nullptr);

    // The mount point of the selected item.
    QString Drive() const;
    // Selects the item that holds `path`: the one whose mount point is the
    // longest leading part of it. Does not raise OnChange.
    void setDrive(const QString& path);
    // Reads the mounted file systems again; opening the list does too, so
    // that media mounted meanwhile appear.
    void Refresh();
    void showPopup() override;

  signals:
    void OnChange();  // the user picked another drive

  private:
    std::vector<DriveItem> drives_;
};

}  // namespace kelp
