// A token driver that a test scripts: it serves the driver socket protocol
// from a thread of the test process, in a temporary socket directory that
// it names in VUXA_DEVICE_DIR, and records every request byte for byte.
//
// Without a script it behaves as a plain driver: version 0x100; attach
// examines the device at the block's position, writes back one past it,
// attaches it (attach_status 0) unless the device is attached elsewhere,
// and returns its descriptor; no device left fails the attach; release
// succeeds; command 0x102 answers the attached device's serial number and
// every other command the status byte 0x00.  A scripted reply for an I/O
// control code replaces that default for the next request of that code;
// a command handler, when set, answers the commands left unscripted.
// Output longer than the size the library offered is cut to that size, as
// a driver can return no more than its caller's buffer holds.
//
// Positions: attach examines the device at the block's device_index and
// writes back position + 1; release and token commands name the device by
// that written-back value (position + 1).  A connection that closes gives
// back every device it had attached.  Frames with a wrong magic or sizes
// above 1 MiB make the driver close the connection.
#ifndef VUXA_TEST_SCRIPTED_DRIVER_H
#define VUXA_TEST_SCRIPTED_DRIVER_H

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vuxa_test {

// The system error the driver fails an attach with when no device is left.
constexpr uint32_t kNoMoreDevices = 259; // ERROR_NO_MORE_ITEMS
// ... a token command for a device not attached to the connection.
constexpr uint32_t kDeviceNotAttached = 55; // ERROR_DEV_NOT_EXIST
// ... an I/O control code it does not know, or a block too short.
constexpr uint32_t kInvalidFunction = 1; // ERROR_INVALID_FUNCTION
constexpr uint32_t kInvalidParameter = 87; // ERROR_INVALID_PARAMETER

struct DriverReply {
    uint32_t error = 0;          // Win32 error to fail with; 0 for success
    std::vector<uint8_t> output; // bytes returned on success
    bool hang_up = false;        // close the connection instead of answering
    std::vector<uint8_t> raw;    // when not empty: sent as the whole response frame
                                 // (and then the connection closed, with hang_up)
    uint32_t delay_ms = 0;       // wait this long before answering

    static DriverReply bytes(std::vector<uint8_t> data);
    static DriverReply status(uint8_t token_status); // a single status byte
    static DriverReply fail(uint32_t system_error);
    static DriverReply empty(); // success with no byte
    // A response frame with the given header fields and bytes, well formed
    // or not (for instance a wrong magic, or more bytes than offered).
    static DriverReply frame(uint32_t magic, uint32_t error, uint32_t returned,
                             std::vector<uint8_t> data = {});
};

struct DriverDevice {
    std::vector<uint8_t> descriptor; // byte 0 is its length; up to 32 bytes
    std::array<uint8_t, 8> serial{};
    bool attached_elsewhere = false;

    // A token: descriptor of length 8 with the model, memory in words,
    // capability byte 0.
    static DriverDevice token(uint8_t model, uint16_t memory_words,
                              std::array<uint8_t, 8> serial = {1, 2, 3, 4, 5, 6, 7, 8});
    // A device that attaches but is no token (descriptor length 7).
    static DriverDevice non_token();
};

// One I/O control as the driver received it.
struct DriverRequest {
    int connection = 0; // 1 for the first connection accepted, and so on
    uint32_t code = 0;
    std::vector<uint8_t> input;
    uint32_t out_size = 0;
};

// A PYXO_COMMAND_BLOCK as the driver received it.
struct CommandBlock {
    uint32_t device_index = 0;
    uint32_t reserved = 0;
    uint16_t param1 = 0;
    uint16_t param2 = 0;
    uint16_t command = 0;
    uint16_t payload_length = 0;
    std::vector<uint8_t> payload; // the first payload_length bytes
    uint32_t out_size = 0;        // the answer size the library offered
    std::vector<uint8_t> raw;     // all 272 bytes

    // The request bytes the block stands for: param1, param2, payload.
    std::vector<uint8_t> request() const;
};

class ScriptedDriver {
public:
    ScriptedDriver();
    ~ScriptedDriver();
    ScriptedDriver(const ScriptedDriver &) = delete;
    ScriptedDriver &operator=(const ScriptedDriver &) = delete;

    void add_device(DriverDevice device);
    // Puts another device in a position (as if one token were unplugged and
    // another plugged in its place); attachments of that position end.
    void replace_device(uint32_t position, DriverDevice device);
    void set_version(uint32_t version);
    // Answers the next request with this code with the reply (in order).
    void script(uint32_t code, DriverReply reply);
    // The same for the next token command (PYXO_IOCTL_COMMAND).
    void script_command(DriverReply reply);
    // Answers token commands that have no scripted reply: a handler that
    // plays the token (for instance computing hashes) returns the reply, or
    // nothing to fall back to the default.  Runs on the driver's thread.
    using CommandHandler = std::function<std::optional<DriverReply>(const struct CommandBlock &)>;
    void on_command(CommandHandler handler);

    std::vector<DriverRequest> requests() const;
    std::vector<CommandBlock> commands() const;
    void clear_requests();
    // Whether the device at a position is attached to some connection now.
    bool attached(uint32_t position) const;
    const std::string &directory() const { return directory_; }
    // The socket's path (directory() + "/VUXADRVR").
    std::string socket_path() const;
    // Removes the socket: from now on opening the driver fails (ERROR_FILE_
    // NOT_FOUND); connections already open go on being served.
    void remove_socket();

    // Connections accepted and not yet closed by either side.
    size_t open_connections() const;
    // Waits until open_connections() == count (the driver notices a closed
    // connection on its own thread); false on timeout.
    bool wait_for_open_connections(
        size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

private:
    struct State;
    void serve();
    bool serve_connection(int fd); // false: close it
    bool answer(int connection, int fd, uint32_t code, const std::vector<uint8_t> &input,
                uint32_t out_size);
    void drop_connection(int fd);

    std::string directory_;
    std::string previous_env_;
    bool had_env_ = false;
    int listen_fd_ = -1;
    int wake_fd_[2] = {-1, -1};
    std::unique_ptr<State> state_;
    std::thread thread_;
};

// Decodes one recorded COMMAND request.
CommandBlock decode_command(const DriverRequest &request);

} // namespace vuxa_test

#endif
