// The recently opened archives shown in the "&File" menu: at most five paths,
// most recent first, kept in the settings store under "MRU Items" as the
// values "F0".."F4" (F0 the most recent).
#pragma once

#include <QString>
#include <QStringList>

class QFontMetrics;

namespace kelp::platform {
class SettingsStore;
}

namespace kelp {

class RecentFiles {
  public:
    static constexpr int kCapacity = 5;
    // The store key of the list.
    static const char* const kKey;

    // A new path goes to the top, dropping the oldest beyond five; a path
    // already listed moves to the top.
    void Add(const QString& path);
    const QStringList& Paths() const { return paths_; }

    // Reads "F0".."F4", skipping missing and empty values.
    void Load(const platform::SettingsStore& store);
    // Replaces every value of the key with the current list.
    void Save(platform::SettingsStore& store) const;

    // The menu caption of entry `index` (from 0): "&1 " + the path, shortened
    // in the middle when wider than `maxWidth` pixels; "&" in the path shows
    // as itself rather than marking an accelerator.
    static QString Caption(int index, const QString& path, const QFontMetrics& metrics,
                           int maxWidth = 255);

  private:
    QStringList paths_;
};

}  // namespace kelp
