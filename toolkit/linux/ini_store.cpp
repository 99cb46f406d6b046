#include "toolkit/linux/ini_store.h"

#include "toolkit/runtime_error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <random>
#include <system_error>
#include <utility>

namespace fw {

namespace {

[[noreturn]] void raise_for(int code)
{
    switch (code) {
    case EACCES:
    case EPERM:
    case EROFS: raise_error(err::permission_denied);
    case ENOSPC:
    case EDQUOT: raise_error(err::disk_full);
    case ENOENT:
    case ENOTDIR: raise_error(err::path_not_found);
    default: raise_error(err::path_file_access);
    }
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    // Closes now; false (errno set) when the close reported an error.
    bool close()
    {
        const int fd = std::exchange(fd_, -1);
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

// Where a chain of links that ends in path ends: path itself when it is no link.
std::filesystem::path resolve_links(std::filesystem::path path)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::string target(4096, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0 || static_cast<size_t>(n) >= target.size()) raise_error(err::path_file_access);
        target.resize(static_cast<size_t>(n));
        path = target.starts_with('/') ? std::filesystem::path(target) : path.parent_path() / target;
    }
    raise_error(err::path_file_access);
}

[[noreturn]] void discard_and_raise(const std::filesystem::path& temp, int code)
{
    ::unlink(temp.c_str());
    raise_for(code);
}

enum class Found { missing, file, too_large };

// Reads the settings file at path, which is no link. Anything but a regular
// file raises 75: a pipe or a device is never opened for a wait or read
// without end, and never replaced.
Found read_existing(const std::filesystem::path& path, std::string& bytes, struct stat& st)
{
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0) {
        if (errno == ENOENT) return Found::missing;
        raise_for(errno);
    }
    if (::fstat(file.get(), &st) != 0) raise_for(errno);
    if (!S_ISREG(st.st_mode)) raise_error(err::path_file_access);
    bytes.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) raise_for(errno);
        if (n == 0) return Found::file;
        bytes.append(buffer, static_cast<size_t>(n));
        if (bytes.size() > IniStore::max_file_size) return Found::too_large;
    }
}

// A new, empty file in folder that nobody else has opened: <.name.XXXXXXXX>.
int create_temporary(const std::filesystem::path& folder, const std::string& name, mode_t mode,
                     std::filesystem::path& temp)
{
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%08x", static_cast<unsigned>(random()));
        temp = folder / ("." + name + suffix);
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// Gives the file at path a second name that no file has yet:
// <path>.bad, <path>.bad.1, ...
bool keep_aside(const std::filesystem::path& path)
{
    for (int n = 0; n < 1000; ++n) {
        std::filesystem::path aside = path;
        aside += n == 0 ? std::string(".bad") : ".bad." + std::to_string(n);
        if (::link(path.c_str(), aside.c_str()) == 0) return true;
        if (errno == EEXIST) continue;
        // Where hard links are not to be had, a rename that refuses to
        // replace does the same.
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0) return true;
        if (errno != EEXIST) return false;
    }
    errno = EEXIST;
    return false;
}

}  // namespace

IniStore::IniStore(std::filesystem::path config_dir) : dir_(std::move(config_dir)) {}

std::filesystem::path IniStore::file_for(std::string_view app) const
{
    std::string name(app);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return dir_ / name / (name + ".ini");
}

std::optional<std::string> IniStore::read(std::string_view app, std::string_view section, std::string_view key)
{
    if (dir_.empty()) return std::nullopt;
    std::string bytes;
    struct stat st {};
    IniText ini;
    try {
        if (read_existing(resolve_links(file_for(app)), bytes, st) != Found::file) return std::nullopt;
    } catch (const RuntimeError&) {
        return std::nullopt;
    }
    if (!IniText::parse(bytes, ini)) return std::nullopt;
    return ini.get(section, key);
}

void IniStore::write(std::string_view app, std::string_view section, std::string_view key, std::string_view value)
{
    write_all(app, section, {{std::string(key), std::string(value)}});
}

void IniStore::write_all(std::string_view app, std::string_view section, const SettingValues& values)
{
    if (dir_.empty()) raise_error(err::path_not_found);
    const std::filesystem::path path = file_for(app);
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    if (ec) raise_for(ec.value());

    const std::filesystem::path target = resolve_links(path);
    std::string old;
    struct stat st {};
    const Found found = read_existing(target, old, st);
    IniText ini;
    bool not_ours = found == Found::too_large || (found == Found::file && !IniText::parse(old, ini));
    for (const auto& [key, value] : values) ini.set(section, key, value);
    std::string text = ini.str();
    if (text.size() > max_file_size && !not_ours) {
        // What the user wrote leaves no room for the settings: that file goes
        // aside and the settings alone are written.
        not_ours = true;
        ini = IniText();
        for (const auto& [key, value] : values) ini.set(section, key, value);
        text = ini.str();
    }
    // Never a file that the next read would refuse.
    if (text.size() > max_file_size) raise_error(err::path_file_access);

    const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
    const mode_t mode = found == Found::missing ? 0666 : (st.st_mode & 0777);
    std::filesystem::path temp;
    FileDescriptor file(create_temporary(folder, target.filename().string(), mode, temp));
    if (file.get() < 0) raise_for(errno);
    const auto fail = [&temp](int code) { discard_and_raise(temp, code); };
    if (found != Found::missing) {
        // The old file's mode and, where allowed, its owner and group; the
        // umask does not apply to a file that existed.
        if (::fchmod(file.get(), mode) != 0) fail(errno);
        if (::fchown(file.get(), st.st_uid, st.st_gid) != 0) {
            // Only root may give a file away; everyone else keeps their own.
        }
    }
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(file.get(), text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail(errno);
        done += static_cast<size_t>(n);
    }
    if (::fsync(file.get()) != 0) fail(errno);
    if (!file.close()) fail(errno);

    if (not_ours && !keep_aside(target)) fail(errno);
    if (::rename(temp.c_str(), target.c_str()) != 0) fail(errno);
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) ::fsync(dir.get());
}

}  // namespace fw
