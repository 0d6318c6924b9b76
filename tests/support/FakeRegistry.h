// The settings key in memory, read with the same buffer rules as the real one.
#pragma once

#include <map>
#include <string>

#include "settings/SettingsStore.h"

namespace fake {

class FakeRegistry : public settings::SettingsRegistry {
public:
    bool Read(const char* name, std::size_t buffer, std::string& text) override {
        text.clear();
        auto it = values.find(name);
        if (it == values.end() || settings::StoredLength(it->second) > buffer) return false;
        // A value that fills the buffer without a terminator is no path we wrote.
        const std::size_t zero = it->second.find('\0');
        if (zero == std::string::npos && settings::StoredLength(it->second) == buffer) return false;
        text = it->second.substr(0, zero);
        return true;
    }
    bool Write(const char* name, const std::string& text, std::size_t slots) override {
        const std::size_t length = settings::StoredLength(text);
        if (length > slots) return false;
        values[name] = text + std::string(slots - length, '\0');
        return true;
    }
    std::map<std::string, std::string> values;
};

}  // namespace fake
