// The plain build of a fuzz target: runs its entry point once over every
// file named on the command line, and over every file of every folder
// named there (in name order), so that the corpus of each target, crash
// inputs included, is replayed as a regression test by any compiler.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int *argc, char ***argv);

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> inputs_of(const fs::path &path)
{
    if (!fs::is_directory(path))
        return {path};
    std::vector<fs::path> files;
    for (const auto &entry : fs::directory_iterator(path)) {
        if (entry.is_regular_file())
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

bool run_file(const fs::path &path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    const std::vector<uint8_t> data{std::istreambuf_iterator<char>(file), {}};
    // An empty vector's data() may be null; the entry point gets a valid
    // pointer as libFuzzer gives it.
    static const uint8_t nothing = 0;
    LLVMFuzzerTestOneInput(data.empty() ? &nothing : data.data(), data.size());
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        for (const fs::path &input : inputs_of(argv[i])) {
            if (!run_file(input))
                return 1;
            ++count;
        }
    }
    std::printf("%zu inputs replayed\n", count);
    // A corpus that went missing must not pass as a clean run.
    return count > 0 ? 0 : 1;
}
