#include "recent_files.h"

#include <QFontMetrics>

#include "platform/settings_store.h"

namespace kelp {

const char* const RecentFiles::kKey = "Kelp/MRU Items";

namespace {

std::string ValueName(int index) {
    return "F" + std::to_string(index);
}

}  // namespace

void RecentFiles::Add(const QString& path) {
    if (path.isEmpty()) return;
    paths_.removeAll(path);
    paths_.prepend(path);
    while (paths_.size() > kCapacity) paths_.removeLast();
}

void RecentFiles::Load(const platform::SettingsStore& store) {
    paths_.clear();
    for (int i = 0; i < kCapacity; ++i) {
        const QString path = QString::fromStdString(store.ReadString(kKey, ValueName(i)));
        if (!path.isEmpty() && !paths_.contains(path)) paths_.append(path);
    }
}

void RecentFiles::Save(platform::SettingsStore& store) const {
    store.RemoveKey(kKey);
    for (int i = 0; i < paths_.size(); ++i)
        store.WriteString(kKey, ValueName(i), paths_[i].toStdString());
}

QString RecentFiles::Caption(int index, const QString& path, const QFontMetrics& metrics,
                             int maxWidth) {
    QString shown = metrics.elidedText(path, Qt::ElideMiddle, maxWidth);
    shown.replace(QLatin1Char('&'), QLatin1String("&&"));
    return QString("&%1 ").arg(index + 1) + shown;
}

}  // namespace kelp
