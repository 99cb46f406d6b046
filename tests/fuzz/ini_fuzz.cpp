// Any bytes as a settings file: parsing never crashes, and a text that parses
// still parses after a key is set, with the key reading back.
#include "toolkit/ini_store.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    fw::IniText ini;
    if (!fw::IniText::parse(text, ini)) return 0;
    (void)ini.get("Settings", "maxFl");
    ini.set("Settings", "maxFl", "110");
    fw::IniText again;
    if (!fw::IniText::parse(ini.str(), again)) std::abort();
    if (again.get("Settings", "maxFl") != std::optional<std::string>("110")) std::abort();
    return 0;
}
