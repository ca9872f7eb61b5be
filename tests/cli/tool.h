// Runs the pyxo tool as a child process, as a user's shell would: it
// inherits the environment (VUXA_DEVICE_DIR of a scripted driver), gets
// standard input, and its output, errors and exit code are collected.
#ifndef PYXO_TEST_TOOL_H
#define PYXO_TEST_TOOL_H

#include <string>
#include <vector>

namespace pyxo_test {

struct ToolResult {
    int exit_code = -1; // -1 when it did not exit normally
    std::string out;
    std::string err;
};

ToolResult run_tool(const std::vector<std::string> &args, const std::string &input = "");

// "pyxo read 1 2", for naming a case in a failure.
std::string command_line(const std::vector<std::string> &args);

// A directory of its own under the test's temporary directory, removed
// with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string read_text_file(const std::string &path);
void write_text_file(const std::string &path, const std::string &bytes);

} // namespace pyxo_test

#endif
