// The settings in the registry: HKEY_CURRENT_USER\Software\<app>\<section>,
// one REG_SZ value per key, holding the text as it was written.
#pragma once

#include "toolkit/settings_store.h"

#include <string>

namespace fw {

class RegistryStore : public SettingsStore {
public:
    // root is the key under HKEY_CURRENT_USER that holds the applications.
    explicit RegistryStore(std::wstring root = L"Software");

    // A REG_DWORD or REG_QWORD someone stored by hand reads as its decimal
    // text; a value of any other non-text kind reads as the empty text.
    std::optional<std::string> read(std::string_view app, std::string_view section, std::string_view key) override;
    // Raises 70 when the key may not be written, 75 for any other failure.
    void write(std::string_view app, std::string_view section, std::string_view key, std::string_view value) override;

private:
    std::wstring key_path(std::string_view app, std::string_view section) const;
    std::wstring root_;
};

}  // namespace fw
