#include "socket_dir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace vuxad {

namespace {

bool is_set(const char *value)
{
    return value != nullptr && value[0] != '\0';
}

std::string octal_mode(mode_t mode)
{
    char text[8];
    snprintf(text, sizeof text, "%04o", unsigned(mode & 07777));
    return text;
}

} // namespace

std::string default_socket_dir()
{
    const char *device_dir = getenv("VUXA_DEVICE_DIR");
    if (is_set(device_dir))
        return device_dir;
    const char *runtime_dir = getenv("XDG_RUNTIME_DIR");
    if (is_set(runtime_dir))
        return std::string(runtime_dir) + "/vuxa";
    return "/run/vuxa";
}

std::string unsafe_dir_reason(const std::string &dir)
{
    struct stat st;
    if (stat(dir.c_str(), &st) != 0)
        return std::string("cannot examine it: ") + strerror(errno);
    if (!S_ISDIR(st.st_mode))
        return "it is not a directory";
    if (st.st_uid != geteuid())
        return "it belongs to user id " + std::to_string(st.st_uid) + ", not to this user (" +
               std::to_string(geteuid()) + ")";
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return "other users can write to it (mode " + octal_mode(st.st_mode) + ")";
    return "";
}

void prepare_socket_dir(const std::string &dir)
{
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        throw std::runtime_error("cannot create the socket directory " + dir + ": " +
                                 strerror(errno));
    std::string reason = unsafe_dir_reason(dir);
    if (!reason.empty())
        throw std::runtime_error("refusing to serve from " + dir + ": " + reason +
                                 "; use a directory that only you can write to (mode 0700)");
}

std::string socket_path(const std::string &dir)
{
    return dir + "/" + kSocketName;
}

} // namespace vuxad
