// An editable combo whose drop-down is a history kept in the settings store:
// string values named RegKeyName + index (from 0) in the key RegMainKey.
#pragma once

#include <QComboBox>

#include <string>

namespace kelp::platform {
class SettingsStore;
}

namespace kelp {

class RegComboBox : public QComboBox {
    Q_OBJECT
  public:
    // `store` (not owned) holds the history.
    explicit RegComboBox(platform::SettingsStore& store, QWidget* parent = nullptr);

    std::string RegMainKey;  // key of the store; nothing is read or written when empty
    std::string RegKeyName;  // prefix of the value names
    int RegMaxItems = 8;     // values read back

    // Replaces the items with the stored values 0 .. RegMaxItems - 1, up to
    // the first missing or empty one. The edit text is kept.
    void LoadFromStore();
    // Writes every item in list order and removes stored history values past
    // the last item; no other value of the key is touched.
    void SaveToStore();
    // Puts `text` first, then removes every later copy of each item
    // (case-sensitive), so each text stays once, at its most recent place.
    void Remember(const QString& text);
    QStringList Items() const;

  private:
    platform::SettingsStore& store_;
};

}  // namespace kelp
