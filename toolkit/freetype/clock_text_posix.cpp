// Regional formats from the POSIX locale database. Each thread uses locale
// objects of its own instead of switching the process's locale, which would
// race with every other thread that formats text. Dates and times come in the
// locale's character set (EUC-JP, EUC-KR, ISO-8859-1) and are converted with
// iconv to UTF-8, the text renderer's encoding.
#include "toolkit/clock_text.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
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
    Kept& slot = kept[(category_mask & LC_TIME_MASK) ? 0 : 1];
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

// The name the C library resolves "" to for the date and time, so that the
// character set is taken from the same locale as the formats.
std::string time_locale_name(const std::string& name)
{
    if (!name.empty()) return name;
    for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"})
        if (const char* value = std::getenv(variable); value && *value) return value;
    return "C";
}

class Converter {
public:
    explicit Converter(const std::string& codeset) : codeset_(codeset), handle_(iconv_open("UTF-8", codeset.c_str())) {}
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    ~Converter()
    {
        if (handle_ != invalid()) iconv_close(handle_);
    }

    const std::string& codeset() const { return codeset_; }

    // Bytes the character set does not have become U+FFFD; a set iconv does
    // not know leaves the text as it is.
    std::string convert(const std::string& text)
    {
        if (handle_ == invalid()) return text;
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        std::string out;
        std::vector<char> in(text.begin(), text.end());
        char* from = in.data();
        size_t left = in.size();
        char buffer[256];
        while (left > 0) {
            char* to = buffer;
            size_t room = sizeof buffer;
            const size_t result = iconv(handle_, &from, &left, &to, &room);
            out.append(buffer, static_cast<size_t>(to - buffer));
            if (result == static_cast<size_t>(-1) && errno != E2BIG) {
                out += "\xEF\xBF\xBD";
                ++from;
                --left;
            }
        }
        return out;
    }

private:
    static iconv_t invalid() { return reinterpret_cast<iconv_t>(-1); }
    std::string codeset_;
    iconv_t handle_;
};

std::string to_utf8(const std::string& text, const char* codeset)
{
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii || !codeset || !*codeset || std::strcmp(codeset, "UTF-8") == 0) return text;
    thread_local std::unique_ptr<Converter> kept;
    if (!kept || kept->codeset() != codeset) kept = std::make_unique<Converter>(codeset);
    return kept->convert(text);
}

std::optional<std::string> format_in(const std::tm& when, nl_item item, const std::string& locale_name)
{
    const locale_t locale = open_locale(LC_TIME_MASK | LC_CTYPE_MASK, time_locale_name(locale_name));
    if (!locale)
        return std::nullopt;
    return to_utf8(format_time(when, nl_langinfo_l(item, locale), locale), nl_langinfo_l(CODESET, locale));
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
