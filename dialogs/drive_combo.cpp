#include "drive_combo.h"

#include <QDir>
#include <QSignalBlocker>
#include <QStyle>

#include <algorithm>

namespace kelp {

namespace {

bool IsNetwork(const QByteArray& type) {
    static const char* const kinds[] = {"nfs",        "nfs4", "cifs", "smb3",      "smbfs", "9p",
                                        "fuse.sshfs", "afs",  "ceph", "glusterfs", "davfs"};
    return std::any_of(std::begin(kinds), std::end(kinds),
                       [&type](const char* k) { return type == k; });
}

bool Under(const QString& path, const QString& folder) {
    return path.startsWith(folder + QLatin1Char('/'));
}

}  // namespace

QString DriveItem::Text() const {
    return QStringLiteral("%1: %2").arg(mountPoint, label);
}

std::vector<DriveItem> ListDrives(const std::vector<MountInfo>& mounts, const MountInfo& root,
                                  const QString& home) {
    std::vector<DriveItem> drives;
    drives.push_back({QStringLiteral("/"),
                      root.name.isEmpty() ? QString::fromLocal8Bit(root.device) : root.name,
                      DriveItem::Fixed});
    if (!home.isEmpty() && home != QLatin1String("/"))
        drives.push_back({home, QDir(home).dirName(), DriveItem::Home});
    std::vector<DriveItem> others;
    for (const MountInfo& v : mounts) {
        const QString mount = v.rootPath;
        DriveItem::Kind kind;
        if (IsNetwork(v.fileSystemType))
            kind = DriveItem::Network;
        else if (Under(mount, "/media") || Under(mount, "/run/media") || Under(mount, "/mnt"))
            kind = DriveItem::Removable;
        else
            continue;
        if (mount == home) continue;
        // A removable medium is named by its label, or by its folder.
        const QString label = !v.name.isEmpty()            ? v.name
                              : kind == DriveItem::Network ? QString::fromLocal8Bit(v.device)
                                                           : QDir(mount).dirName();
        others.push_back({mount, label, kind});
    }
    std::sort(others.begin(), others.end(),
              [](const DriveItem& a, const DriveItem& b) { return a.mountPoint < b.mountPoint; });
    drives.insert(drives.end(), others.begin(), others.end());
    return drives;
}

DriveComboBox::DriveComboBox(QWidget* parent) : QComboBox(parent) {
    Refresh();
    connect(this, &QComboBox::activated, this, [this] { emit OnChange(); });
}

void DriveComboBox::Refresh() {
    const QString selected = drives_.empty() ? QDir::currentPath() : Drive();
    const QSignalBlocker block(this);
    clear();
    auto info = [](const QStorageInfo& v) {
        return MountInfo{v.rootPath(), v.fileSystemType(), v.name(), v.device()};
    };
    std::vector<MountInfo> mounts;
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes())
        if (v.isValid() && v.isReady()) mounts.push_back(info(v));
    drives_ = ListDrives(mounts, info(QStorageInfo::root()), QDir::homePath());
    for (const DriveItem& d : drives_) {
        QStyle::StandardPixmap glyph = QStyle::SP_DriveHDIcon;
        if (d.kind == DriveItem::Home) glyph = QStyle::SP_DirHomeIcon;
        if (d.kind == DriveItem::Removable) glyph = QStyle::SP_DriveFDIcon;
        if (d.kind == DriveItem::Network) glyph = QStyle::SP_DriveNetIcon;
        addItem(style()->standardIcon(glyph), d.Text(), d.mountPoint);
    }
    setDrive(selected);
}

void DriveComboBox::showPopup() {
    Refresh();
    QComboBox::showPopup();
}

QString DriveComboBox::Drive() const {
    return currentData().toString();
}

void DriveComboBox::setDrive(const QString& path) {
    const QString p = QDir::cleanPath(path);
    int best = 0, bestLength = -1;
    for (int i = 0; i < int(drives_.size()); ++i) {
        const QString& m = drives_[i].mountPoint;
        const bool holds = m == QLatin1String("/") || p == m || Under(p, m);
        if (holds && m.size() > bestLength) {
            best = i;
            bestLength = int(m.size());
        }
    }
    const QSignalBlocker block(this);
    setCurrentIndex(best);
}

}  // namespace kelp
