#include "toolkit/win32/registry_store.h"

#include "toolkit/runtime_error.h"
#include "toolkit/win32/wide_text.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace fw {

namespace {

// Closes the key when it goes out of scope.
struct OpenKey {
    HKEY key = nullptr;
    ~OpenKey()
    {
        if (key) RegCloseKey(key);
    }
};

int error_number_for(LSTATUS status)
{
    return status == ERROR_ACCESS_DENIED ? err::permission_denied : err::path_file_access;
}

}  // namespace

RegistryStore::RegistryStore(std::wstring root) : root_(std::move(root)) {}

std::wstring RegistryStore::key_path(std::string_view app, std::string_view section) const
{
    return root_ + L"\\" + widen(app) + L"\\" + widen(section);
}

std::optional<std::string> RegistryStore::read(std::string_view app, std::string_view section, std::string_view key)
{
    OpenKey k;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key_path(app, section).c_str(), 0, KEY_QUERY_VALUE, &k.key) != ERROR_SUCCESS)
        return std::nullopt;
    const std::wstring name = widen(key);
    DWORD type = 0;
    DWORD size = 0;
    std::vector<BYTE> data;
    LSTATUS status = ERROR_MORE_DATA;
    // The value may grow between the two calls when another process writes it.
    while (status == ERROR_MORE_DATA) {
        status = RegQueryValueExW(k.key, name.c_str(), nullptr, &type, nullptr, &size);
        if (status != ERROR_SUCCESS) return std::nullopt;
        data.assign(size + sizeof(wchar_t), 0);
        status = RegQueryValueExW(k.key, name.c_str(), nullptr, &type, data.data(), &size);
    }
    if (status != ERROR_SUCCESS) return std::nullopt;

    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
        std::wstring text(size / sizeof(wchar_t), L'\0');
        std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
        // Stored texts normally carry their terminator; hand-made ones may not.
        const size_t end = text.find(L'\0');
        if (end != std::wstring::npos) text.resize(end);
        return narrow(text);
    }
    case REG_DWORD: {
        uint32_t v = 0;
        std::memcpy(&v, data.data(), std::min<size_t>(size, sizeof v));
        return std::to_string(v);
    }
    case REG_QWORD: {
        uint64_t v = 0;
        std::memcpy(&v, data.data(), std::min<size_t>(size, sizeof v));
        return std::to_string(v);
    }
    default: return std::string();
    }
}

void RegistryStore::write(std::string_view app, std::string_view section, std::string_view key, std::string_view value)
{
    OpenKey k;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, key_path(app, section).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                     nullptr, &k.key, nullptr);
    if (status != ERROR_SUCCESS) throw RuntimeError(error_number_for(status));
    const std::wstring text = widen(value);
    status = RegSetValueExW(k.key, widen(key).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS) throw RuntimeError(error_number_for(status));
}

}  // namespace fw
