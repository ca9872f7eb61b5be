// The socket directory: its default, its creation and its safety checks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "socket_dir.h"
#include "temp_dir.h"

namespace vuxad {
namespace {

// Sets or unsets an environment variable for one scope.
class EnvVar {
public:
    EnvVar(const char *name, const char *value) : name_(name)
    {
        if (const char *old = getenv(name))
            old_ = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~EnvVar() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

private:
    const char *name_;
    std::optional<std::string> old_;
};

TEST(SocketDir, DefaultFollowsTheLibrarysSearch)
{
    struct Case {
        const char *device_dir;
        const char *runtime_dir;
        const char *expected;
    };
    const Case cases[] = {
        {"/tmp/d", "/run/user/7", "/tmp/d"},
        {"", "/run/user/7", "/run/user/7/vuxa"},
        {nullptr, "/run/user/7", "/run/user/7/vuxa"},
        {nullptr, nullptr, "/run/vuxa"},
        {"", nullptr, "/run/vuxa"},
        {nullptr, "", "/run/vuxa"},
    };
    for (const Case &c : cases) {
        EnvVar device("VUXA_DEVICE_DIR", c.device_dir);
        EnvVar runtime("XDG_RUNTIME_DIR", c.runtime_dir);
        EXPECT_EQ(default_socket_dir(), c.expected);
    }
}

TEST(SocketDir, MissingDirectoryIsCreatedWithMode0700)
{
    TempDir parent;
    std::string dir = parent.path("sockets");
    mode_t old_umask = umask(0);
    prepare_socket_dir(dir);
    umask(old_umask);

    struct stat st {};
    ASSERT_EQ(stat(dir.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0700u);
}

TEST(SocketDir, DirectoriesOthersCanWriteToAreRefused)
{
    struct Case {
        mode_t mode;
        bool accepted;
    };
    const Case cases[] = {
        {0700, true},  {0755, true},  {0750, true},   {0770, false},
        {0707, false}, {0777, false}, {01777, false}, {0720, false},
    };
    for (const Case &c : cases) {
        TempDir dir;
        chmod(dir.path().c_str(), c.mode);
        if (c.accepted) {
            EXPECT_NO_THROW(prepare_socket_dir(dir.path())) << std::oct << c.mode;
            continue;
        }
        try {
            prepare_socket_dir(dir.path());
            ADD_FAILURE() << "mode " << std::oct << c.mode << " was accepted";
        } catch (const std::runtime_error &e) {
            std::string message = e.what();
            EXPECT_NE(message.find(dir.path()), std::string::npos) << message;
            EXPECT_NE(message.find("other users can write"), std::string::npos) << message;
        }
    }
}

TEST(SocketDir, AFileInsteadOfADirectoryIsRefused)
{
    TempDir parent;
    std::string file = parent.path("plain");
    fclose(fopen(file.c_str(), "w"));
    EXPECT_THROW(prepare_socket_dir(file), std::runtime_error);
}

TEST(SocketDir, ADirectoryOfAnotherUserIsRefused)
{
    TempDir parent;
    std::string dir = "/";
    if (geteuid() == 0) { // root owns "/": give a directory away instead
        dir = parent.path("theirs");
        ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
        ASSERT_EQ(chown(dir.c_str(), 65534, 65534), 0);
    }
    EXPECT_NE(unsafe_dir_reason(dir).find("belongs to user id"), std::string::npos);
    EXPECT_THROW(prepare_socket_dir(dir), std::runtime_error);
}

} // namespace
} // namespace vuxad
