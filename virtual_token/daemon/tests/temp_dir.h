// A temporary directory for one test, removed with everything in it.
#ifndef VUXAD_TEST_TEMP_DIR_H
#define VUXAD_TEST_TEMP_DIR_H

#include <cstdlib>
#include <filesystem>
#include <string>

namespace vuxad {

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "vuxad-test-XXXXXX");
        path_ = mkdtemp(pattern.data());
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    std::string path(const std::string &name = "") const
    {
        return name.empty() ? path_ : path_ + "/" + name;
    }

private:
    std::string path_;
};

} // namespace vuxad

#endif
