#include "errors/err_ptnr.h"

#include "host/saver.h"
#include "toolkit/platform.h"
#include "version.h"

#include <cstdio>
#include <system_error>

namespace fw {

namespace {

constexpr std::string_view crlf = "\r\n";
const std::string separator = std::string(70, '-') + "\r\n";
const std::string indent(10, ' ');

std::string two_digits(int value)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d", value);
    return buffer;
}

const char* platform_name(uint32_t id)
{
    switch (id) {
    case platform_win32s: return "Win32s";
    case platform_windows_9x: return "Windows 9x";
    case platform_windows_nt: return "Windows NT";
    default: return nullptr;
    }
}

// The protocol keeps its newest reports in at most twice this much.
constexpr uintmax_t protocol_rotate_at = uintmax_t{1} << 20;

}  // namespace

ErrPtnr& ErrPtnr::instance()
{
    static ErrPtnr reporter;
    return reporter;
}

int16_t ErrPtnr::OnError(std::string_view module, std::string_view procedure, const RuntimeError& error, int line)
{
    error_ = std::to_string(error.number()) + " (" + error.description() + ")";
    module_ = module;
    procedure_ = procedure;
    line_ = std::to_string(line);
    if (prog_info_.empty()) {
        prog_info_ = platform().program_file().stem().string() + "  V" + std::to_string(version::major) + "." +
                     std::to_string(version::minor) + "." + std::to_string(version::revision);
    }
    // The application-wide pointer is never changed from its default shape in
    // this program, so there is nothing to reset here.
    AppendProtocolFile();
    platform().beep();
    // Where this ends the saver, its caller learns that it ended on an error;
    // where the program goes on, a later end is an ordinary one.
    const int status = platform().end_status();
    platform().set_end_status(status_after_error);
    Saver::exitScreensaver();
    platform().set_end_status(status);
    return 0;
}

std::string ErrPtnr::LPSTRToVBString(std::string_view text)
{
    const size_t nul = text.find('\0');
    return nul == std::string_view::npos ? std::string() : std::string(text.substr(0, nul));
}

std::string ErrPtnr::BuildProtocol() const
{
    std::string p;
    p += separator;
    p += "F E H L E R P R O T O K O L L  /  E R R O R   P R O T O C O L L";
    p += crlf;
    p += separator;
    p += "PROGRAMM-INFO:";
    p += crlf;
    p += indent + prog_info_;
    p += crlf;
    p += separator;
    p += "FEHLERBESCHREIBUNG / ERROR DESCRIPTION:";
    p += crlf;
    const std::pair<const char*, const std::string*> items[] = {
        {"Fehler-Nr / error :", &error_},
        {"Modul:", &module_},
        {"Prozedur / procedure:", &procedure_},
        {"Zeile / Line:", &line_},
    };
    for (const auto& [title, value] : items) {
        p += indent + title + "\t" + *value;
        p += crlf;
    }
    const std::tm now = platform().local_time();
    p += indent + "Datum/Uhrzeit (Date/Time):\t" + two_digits(now.tm_mon + 1) + "-" + two_digits(now.tm_mday) + "-" +
         std::to_string(now.tm_year + 1900) + " / " + two_digits(now.tm_hour) + ":" + two_digits(now.tm_min) + ":" +
         two_digits(now.tm_sec);
    p += crlf;
    p += separator;
    p += "SYSTEMINFO:";
    p += crlf;

    OsVersionInfo info;
    (void)platform().get_version(info);
    p += indent + "Plattform/Environment:\t";
    if (const char* name = platform_name(info.platform_id)) {
        p += name;
        p += crlf;
    }
    p += indent + "Version:\t" + std::to_string(info.major) + "." + std::to_string(info.minor);
    p += crlf;
    p += indent + "Build:\t" + std::to_string(info.build & 0xFFFF) + "   " +
         LPSTRToVBString(std::string_view(info.csd_version, sizeof info.csd_version));
    p += crlf;
    p += separator;
    return p;
}

std::filesystem::path ErrPtnr::protocol_path()
{
    const std::filesystem::path program = platform().program_file();
    return program.parent_path() / (program.stem().string() + ".EPT");
}

std::filesystem::path ErrPtnr::AppendProtocolFile() const
{
    const std::string text = BuildProtocol() + std::string(crlf);
    const std::filesystem::path primary = protocol_path();
    if (platform().append_log(primary, text, protocol_rotate_at)) return primary;

    // Beside the program may be read-only (an installed saver), full, or a
    // name someone else has put a link or a pipe on; the user's own state
    // folder is the next best place. If that fails too the report is lost,
    // but the beep and the end of the saver still happen.
    const std::filesystem::path dir = platform().user_state_dir();
    if (dir.empty()) return {};
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const std::filesystem::path fallback = dir / primary.filename();
    if (platform().append_log(fallback, text, protocol_rotate_at)) return fallback;
    return {};
}

}  // namespace fw
