// The per-user settings store: named values of kind string or 32-bit number,
// grouped in keys ("Kelp", "Kelp/MRU Items"), kept in one readable text file
// under the user's configuration folder. Every call reads the file afresh;
// every change rewrites it atomically (temporary file, flush, rename, 0600).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kelp::platform {

struct StoredValue {
    enum Kind { String, Number } kind = String;
    std::string text;    // for String
    int32_t number = 0;  // for Number
};

// Kinds of RegReadValue and RegWriteValue.
enum RegKind { rkString = 0, rkBoolean = 1, rkInteger = 2, rkFloat = 3 };

class SettingsStore {
  public:
    // The store in `folder`; empty means ConfigFolder().
    explicit SettingsStore(std::string folder = {});

    // $KELP_CONFIG_HOME, else $XDG_CONFIG_HOME/kelp, else ~/.config/kelp;
    // with a trailing "/".
    static std::string ConfigFolder();
    const std::string& FilePath() const { return file_; }

    std::optional<StoredValue> Read(const std::string& key, const std::string& name) const;
    // Writes one value; false when the file could not be written.
    bool Write(const std::string& key, const std::string& name, const StoredValue& value);
    bool Remove(const std::string& key, const std::string& name);
    // Removes every value of a key.
    bool RemoveKey(const std::string& key);
    // The names of a key's values, in name order.
    std::vector<std::string> ValueNames(const std::string& key) const;

    // Reads one value the way the settings record does: strings as stored
    // (default ""); booleans from a string or number, any value but 0 true
    // (default true); integers from a number or a decimal string (default 0).
    std::string ReadString(const std::string& key, const std::string& name) const;
    bool ReadBool(const std::string& key, const std::string& name) const;
    int32_t ReadInt(const std::string& key, const std::string& name) const;
    // Booleans are written as the strings "1" and "0". An integer is written
    // as a number, or as its decimal text where a string value of that name
    // already exists.
    bool WriteString(const std::string& key, const std::string& name, const std::string& v);
    bool WriteBool(const std::string& key, const std::string& name, bool v);
    bool WriteInt(const std::string& key, const std::string& name, int32_t v);

  private:
    using Values = std::map<std::string, StoredValue>;
    using Keys = std::map<std::string, Values>;
    Keys Load() const;
    bool Save(const Keys& keys) const;

    std::string folder_;
    std::string file_;
};

}  // namespace kelp::platform
