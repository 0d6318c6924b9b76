// The settings key in memory, read with the same buffer rules as the real one.
#pragma once

#include <algorithm>
#include <map>
#include <string>

#include "settings/SettingsStore.h"

namespace fake {

class FakeRegistry : public settings::SettingsRegistry {
public:
    bool Read(const char* name, std::size_t buffer, std::string& text) override {
        text.clear();
        auto it = values.find(name);
        if (it == values.end() || it->second.size() > buffer) return false;
        std::string data = it->second + std::string(buffer + 1 - it->second.size(), '\0');
        const auto end = std::find(data.begin(), data.begin() + static_cast<long>(buffer), '\0');
        if (end == data.begin() + static_cast<long>(buffer)) return false;
        text.assign(data.begin(), end);
        return true;
    }
    bool Write(const char* name, const void* data, std::size_t size) override {
        values[name] = std::string(static_cast<const char*>(data), size);
        return true;
    }
    std::map<std::string, std::string> values;
};

}  // namespace fake
