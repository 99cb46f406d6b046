// Regional formats from the POSIX locale database. Each thread uses locale
// objects of its own instead of switching the process's locale, which would
// race with every other thread that formats text.
#include "toolkit/clock_text.h"

#include <langinfo.h>
#include <locale.h>
#include <time.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace fw {

namespace {

class Locale {
public:
    Locale(int category_mask, const std::string& name) : handle_(newlocale(category_mask, name.c_str(), nullptr)) {}
    Locale(const Locale&) = delete;
    Locale& operator=(const Locale&) = delete;
    ~Locale()
    {
        if (handle_)
            freelocale(handle_);
    }

    explicit operator bool() const { return handle_ != nullptr; }
    locale_t get() const { return handle_; }

private:
    locale_t handle_;
};

// Opening a locale reads the locale database each time, and the scene asks
// for its clock text every frame: the last locale opened for a category is
// kept, per thread, for as long as its name and the environment variables
// that resolve an empty name stay the same.
locale_t open_locale(int category_mask, const std::string& name)
{
    struct Kept {
        int category_mask = 0;
        std::string key;
        std::unique_ptr<Locale> locale;
    };
    thread_local Kept kept[2];
    std::string key = name;
    for (const char* variable : {"LC_ALL", "LC_TIME", "LC_NUMERIC", "LANG", "LOCPATH"}) {
        const char* value = std::getenv(variable);
        key += '\0';
        key += value ? value : "\x01";
    }
    Kept& slot = kept[category_mask == LC_TIME_MASK ? 0 : 1];
    if (!slot.locale || slot.category_mask != category_mask || slot.key != key) {
        auto locale = std::make_unique<Locale>(category_mask, name);
        if (!*locale)
            return nullptr;
        slot = Kept{category_mask, std::move(key), std::move(locale)};
    }
    return slot.locale->get();
}

std::string format_time(const std::tm& when, const char* format, locale_t locale)
{
    if (!format || !*format)
        return {};
    // strftime gives 0 both for "too small" and for an empty result; the
    // growing buffer tells the two apart with a bound.
    for (size_t size = 64; size <= 4096; size *= 2) {
        std::vector<char> buffer(size);
        const size_t length = strftime_l(buffer.data(), buffer.size(), format, &when, locale);
        if (length > 0)
            return std::string(buffer.data(), length);
    }
    return {};
}

std::optional<std::string> format_in(const std::tm& when, nl_item item, const std::string& locale_name)
{
    const locale_t locale = open_locale(LC_TIME_MASK, locale_name);
    if (!locale)
        return std::nullopt;
    return format_time(when, nl_langinfo_l(item, locale), locale);
}

std::string format_for_user(const std::tm& when, nl_item item)
{
    if (std::optional<std::string> text = format_in(when, item, ""))
        return *text;
    return format_in(when, item, "C").value_or(std::string());
}

}  // namespace

std::optional<std::string> short_date_text(const std::tm& when, const std::string& locale_name)
{
    return format_in(when, D_FMT, locale_name);
}

std::optional<std::string> long_time_text(const std::tm& when, const std::string& locale_name)
{
    return format_in(when, T_FMT, locale_name);
}

std::optional<char> decimal_separator(const std::string& locale_name)
{
    const locale_t locale = open_locale(LC_NUMERIC_MASK, locale_name);
    if (!locale)
        return std::nullopt;
    const char* radix = nl_langinfo_l(RADIXCHAR, locale);
    if (!radix || radix[0] == '\0' || radix[1] != '\0')
        return '.';
    return radix[0];
}

std::string short_date_text(const std::tm& when) { return format_for_user(when, D_FMT); }

std::string long_time_text(const std::tm& when) { return format_for_user(when, T_FMT); }

char decimal_separator() { return decimal_separator("").value_or('.'); }

}  // namespace fw
