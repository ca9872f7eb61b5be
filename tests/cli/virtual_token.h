// A scripted driver whose token at position 0 is a virtual token: its
// commands go to the virtual token driver core in this process, so the
// tool meets a token with a real file system, credentials and hashing.
// Every run of the tool is a fresh attachment, as it is with a real driver:
// the token forgets verified credentials and the selection in between.
#ifndef PYXO_TEST_VIRTUAL_TOKEN_H
#define PYXO_TEST_VIRTUAL_TOKEN_H

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "support/scripted_driver.h"
#include "tool.h"
#include "vtd.h"

namespace pyxo_test {

// The virtual token's credentials (vuxad's defaults) as the tool takes them.
inline const std::string kPin = "1234";
inline const std::string kMasterKey = "0102030405060708";
inline const std::string kSerial = "a1a2a3a4a5a6a7a8";

class VirtualToken {
public:
    explicit VirtualToken(uint8_t model = 0x50, uint16_t memory_words = 0x1000);
    ~VirtualToken();

    ToolResult run(const std::vector<std::string> &args, const std::string &input = "");
    // The same, with the master key verified first.
    ToolResult admin(std::vector<std::string> args, const std::string &input = "");

    vuxa_test::ScriptedDriver driver;

private:
    void new_attachment();

    std::mutex mutex_;
    std::unique_ptr<uint64_t[]> memory_;
    vtd_driver *core_ = nullptr;
    uint32_t handle_ = 0;
};

} // namespace pyxo_test

#endif
