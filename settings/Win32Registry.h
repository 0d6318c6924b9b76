// The settings key in the registry of the current user.
#pragma once

#include "settings/SettingsStore.h"

namespace settings {

class Win32Registry : public SettingsRegistry {
public:
    explicit Win32Registry(const char* keyPath = kKeyPath) : keyPath_(keyPath) {}
    bool Read(const char* name, std::size_t buffer, std::string& text) override;
    bool Write(const char* name, const std::string& text, std::size_t slots) override;

private:
    const char* keyPath_;
};

}  // namespace settings
