#include "image_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace vuxad {

namespace {

// Closes a descriptor when it goes out of scope.
struct Fd {
    int fd;
    explicit Fd(int value) : fd(value) {}
    ~Fd()
    {
        if (fd >= 0)
            close(fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
};

[[noreturn]] void fail(const std::string &what, const std::string &path)
{
    throw std::runtime_error(what + " " + path + ": " + strerror(errno));
}

std::string directory_of(const std::string &path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

void write_all(int fd, std::span<const uint8_t> bytes, const std::string &path)
{
    while (!bytes.empty()) {
        ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail("cannot write", path);
        bytes = bytes.subspan(size_t(n));
    }
}

void write_synced(const std::string &path, std::span<const uint8_t> bytes)
{
    Fd file(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (file.fd < 0)
        fail("cannot create", path);
    write_all(file.fd, bytes, path);
    if (fsync(file.fd) != 0)
        fail("cannot flush", path);
}

void sync_directory(const std::string &dir)
{
    Fd handle(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (handle.fd < 0 || fsync(handle.fd) != 0)
        fail("cannot flush the directory", dir);
}

} // namespace

bool file_exists(const std::string &path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

std::vector<uint8_t> read_image_file(const std::string &path, size_t limit)
{
    Fd file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.fd < 0)
        fail("cannot open the token image", path);
    std::vector<uint8_t> bytes(limit + 1);
    size_t used = 0;
    while (used < bytes.size()) {
        ssize_t n = read(file.fd, bytes.data() + used, bytes.size() - used);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail("cannot read the token image", path);
        if (n == 0)
            break;
        used += size_t(n);
    }
    if (used > limit)
        throw std::runtime_error(path + ": not a token image: larger than any image (" +
                                 std::to_string(limit) + " bytes at most)");
    bytes.resize(used);
    return bytes;
}

void save_atomically(const std::string &path, std::span<const uint8_t> bytes)
{
    std::string temporary = path + ".tmp";
    try {
        write_synced(temporary, bytes);
        if (rename(temporary.c_str(), path.c_str()) != 0)
            fail("cannot rename " + temporary + " to", path);
    } catch (...) {
        unlink(temporary.c_str());
        throw;
    }
    sync_directory(directory_of(path));
}

} // namespace vuxad
