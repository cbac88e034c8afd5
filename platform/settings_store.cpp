#include "platform/settings_store.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/atomic_file.h"
#include "platform/folders.h"

namespace kelp::platform {

namespace {

// Text file format, one line each:
//   [key]
//   name=s:text     (string; "\\", "\n", "\r" escaped)
//   name=n:123      (32-bit number)
std::string Escape(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string Unescape(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            const char n = s[++i];
            out += n == 'n' ? '\n' : n == 'r' ? '\r' : n;
        } else {
            out += s[i];
        }
    }
    return out;
}

// Names may not hold "=" or line breaks in the file; they are escaped too.
std::string EscapeName(const std::string& s) {
    std::string out;
    for (char c : Escape(s)) out += c == '=' ? std::string("\\e") : std::string(1, c);
    return out;
}

std::string UnescapeName(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 'e') {
            out += '=';
            ++i;
        } else if (s[i] == '\\' && i + 1 < s.size()) {
            out += s.substr(i, 2);
            ++i;
        } else {
            out += s[i];
        }
    }
    return Unescape(out);
}

// A decimal number as a string value reads back: optional blanks and sign,
// digits; anything else is not a number.
std::optional<int32_t> ParseNumber(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0') return std::nullopt;
    if (v < INT32_MIN || v > UINT32_MAX) return std::nullopt;
    return static_cast<int32_t>(static_cast<uint32_t>(v));
}

}  // namespace

SettingsStore::SettingsStore(std::string folder)
    : folder_(folder.empty() ? ConfigFolder() : WithTrailingSlash(std::move(folder))),
      file_(folder_ + "settings") {}

std::string SettingsStore::ConfigFolder() {
    if (const char* k = std::getenv("KELP_CONFIG_HOME"); k && *k) return WithTrailingSlash(k);
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x)
        return WithTrailingSlash(x) + "kelp/";
    return HomeFolder() + ".config/kelp/";
}

SettingsStore::Keys SettingsStore::Load() const {
    Keys keys;
    std::ifstream in(file_, std::ios::binary);
    std::string line, key;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (line.front() == '[' && line.back() == ']') {
            key = Unescape(line.substr(1, line.size() - 2));
            keys[key];
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos || eq + 2 >= line.size() || line[eq + 2] != ':') continue;
        const std::string name = UnescapeName(line.substr(0, eq));
        const char kind = line[eq + 1];
        const std::string body = line.substr(eq + 3);
        StoredValue v;
        if (kind == 'n') {
            const auto n = ParseNumber(body);
            if (!n) continue;
            v.kind = StoredValue::Number;
            v.number = *n;
        } else if (kind == 's') {
            v.text = Unescape(body);
        } else {
            continue;
        }
        keys[key][name] = v;
    }
    return keys;
}

bool SettingsStore::Save(const Keys& keys) const {
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    std::ostringstream out;
    out << "# Kelp settings\n";
    for (const auto& [key, values] : keys) {
        out << '[' << Escape(key) << "]\n";
        for (const auto& [name, v] : values) {
            out << EscapeName(name) << '=';
            if (v.kind == StoredValue::Number)
                out << "n:" << v.number << '\n';
            else
                out << "s:" << Escape(v.text) << '\n';
        }
    }
    return WriteFileAtomically(file_, out.str(), 0600);
}

std::optional<StoredValue> SettingsStore::Read(const std::string& key,
                                               const std::string& name) const {
    const Keys keys = Load();
    const auto k = keys.find(key);
    if (k == keys.end()) return std::nullopt;
    const auto v = k->second.find(name);
    if (v == k->second.end()) return std::nullopt;
    return v->second;
}

bool SettingsStore::Write(const std::string& key, const std::string& name,
                          const StoredValue& value) {
    Keys keys = Load();
    keys[key][name] = value;
    return Save(keys);
}

bool SettingsStore::Remove(const std::string& key, const std::string& name) {
    Keys keys = Load();
    const auto k = keys.find(key);
    if (k == keys.end() || k->second.erase(name) == 0) return true;
    return Save(keys);
}

bool SettingsStore::RemoveKey(const std::string& key) {
    Keys keys = Load();
    if (keys.erase(key) == 0) return true;
    return Save(keys);
}

std::vector<std::string> SettingsStore::ValueNames(const std::string& key) const {
    std::vector<std::string> names;
    const Keys keys = Load();
    if (const auto k = keys.find(key); k != keys.end())
        for (const auto& [name, v] : k->second) names.push_back(name);
    return names;
}

std::string SettingsStore::ReadString(const std::string& key, const std::string& name) const {
    const auto v = Read(key, name);
    if (!v) return {};
    return v->kind == StoredValue::String ? v->text : std::to_string(v->number);
}

bool SettingsStore::ReadBool(const std::string& key, const std::string& name) const {
    const auto v = Read(key, name);
    if (!v) return true;
    if (v->kind == StoredValue::Number) return v->number != 0;
    const auto n = ParseNumber(v->text);
    return n ? *n != 0 : true;
}

int32_t SettingsStore::ReadInt(const std::string& key, const std::string& name) const {
    const auto v = Read(key, name);
    if (!v) return 0;
    if (v->kind == StoredValue::Number) return v->number;
    return ParseNumber(v->text).value_or(0);
}

bool SettingsStore::WriteString(const std::string& key, const std::string& name,
                                const std::string& value) {
    return Write(key, name, StoredValue{StoredValue::String, value, 0});
}

bool SettingsStore::WriteBool(const std::string& key, const std::string& name, bool value) {
    return WriteString(key, name, value ? "1" : "0");
}

bool SettingsStore::WriteInt(const std::string& key, const std::string& name, int32_t value) {
    const auto old = Read(key, name);
    if (old && old->kind == StoredValue::String)
        return WriteString(key, name, std::to_string(value));
    return Write(key, name, StoredValue{StoredValue::Number, {}, value});
}

}  // namespace kelp::platform
