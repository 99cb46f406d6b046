// Any bytes as a settings file: parsing never crashes; text that parses is
// written back byte for byte, and still parses after a key is set, with the
// key reading back; text that does not parse leaves nothing behind.
#include "toolkit/ini_text.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    fw::IniText ini;
    if (!fw::IniText::parse(text, ini)) {
        if (!ini.str().empty()) std::abort();
        return 0;
    }
    if (ini.str() != text) std::abort();
    (void)ini.get("Settings", "maxFl");
    ini.set("Settings", "maxFl", "110");
    ini.set("Settings", "SpeedF", "4.88");
    fw::IniText again;
    if (!fw::IniText::parse(ini.str(), again)) std::abort();
    if (again.get("Settings", "maxFl") != std::optional<std::string>("110")) std::abort();
    if (again.get("Settings", "SpeedF") != std::optional<std::string>("4.88")) std::abort();
    return 0;
}
