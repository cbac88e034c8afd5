#include "reg_combo_box.h"

#include "platform/settings_store.h"

namespace kelp {

RegComboBox::RegComboBox(platform::SettingsStore& store, QWidget* parent)
    : QComboBox(parent), store_(store) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
}

void RegComboBox::LoadFromStore() {
    if (RegMainKey.empty()) return;
    const QString text = currentText();
    clear();
    for (int i = 0; i < RegMaxItems; ++i) {
        const auto value = store_.Read(RegMainKey, RegKeyName + std::to_string(i));
        if (!value || value->kind != platform::StoredValue::String || value->text.empty()) break;
        addItem(QString::fromStdString(value->text));
    }
    setEditText(text);
}

void RegComboBox::SaveToStore() {
    if (RegMainKey.empty()) return;
    const int n = count();
    for (int i = 0; i < n; ++i)
        store_.WriteString(RegMainKey, RegKeyName + std::to_string(i), itemText(i).toStdString());
    // Older, longer histories leave values behind; they are history too.
    for (const std::string& name : store_.ValueNames(RegMainKey)) {
        if (name.size() <= RegKeyName.size() || name.compare(0, RegKeyName.size(), RegKeyName))
            continue;
        const std::string index = name.substr(RegKeyName.size());
        if (index.find_first_not_of("0123456789") != std::string::npos) continue;
        if (index.size() > 9 || std::stoi(index) >= n) store_.Remove(RegMainKey, name);
    }
}

void RegComboBox::Remember(const QString& text) {
    const QString edit = currentText();
    insertItem(0, text);
    for (int i = 0; i < count(); ++i) {
        for (int j = count() - 1; j > i; --j)
            if (itemText(j) == itemText(i)) removeItem(j);
    }
    setEditText(edit);
}

QStringList RegComboBox::Items() const {
    QStringList items;
    for (int i = 0; i < count(); ++i) items.append(itemText(i));
    return items;
}

}  // namespace kelp
