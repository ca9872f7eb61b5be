// The scripted test driver: a poll loop on its own thread serving the
// driver socket protocol.
#include "scripted_driver.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "device/driver_interface.h"
#include "device/token_commands.h"

namespace vuxa_test {

namespace {

constexpr uint32_t kMagic = 0x31445856; // "VXD1"
constexpr size_t kRequestHeader = 16;
constexpr size_t kResponseHeader = 12;
constexpr uint32_t kMaxData = 1u << 20;
constexpr uint32_t kDefaultVersion = 0x100;
constexpr char kSocketName[] = "VUXADRVR";

uint32_t le32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t le16(const uint8_t *p)
{
    return uint16_t(p[0] | p[1] << 8);
}

void put32(std::vector<uint8_t> &out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = uint8_t(v >> (8 * i));
}

void append32(std::vector<uint8_t> &out, uint32_t v)
{
    out.resize(out.size() + 4);
    put32(out, out.size() - 4, v);
}

bool send_all(int fd, const std::vector<uint8_t> &bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

[[noreturn]] void fail_setup(const std::string &what)
{
    throw std::runtime_error("ScriptedDriver: " + what + ": " + std::strerror(errno));
}

} // namespace

// ---------------------------------------------------------------- replies

DriverReply DriverReply::bytes(std::vector<uint8_t> data)
{
    DriverReply reply;
    reply.output = std::move(data);
    return reply;
}

DriverReply DriverReply::status(uint8_t token_status)
{
    return bytes({token_status});
}

DriverReply DriverReply::fail(uint32_t system_error)
{
    DriverReply reply;
    reply.error = system_error;
    return reply;
}

DriverReply DriverReply::empty()
{
    return DriverReply{};
}

DriverReply DriverReply::frame(uint32_t magic, uint32_t error, uint32_t returned,
                               std::vector<uint8_t> data)
{
    DriverReply reply;
    append32(reply.raw, magic);
    append32(reply.raw, error);
    append32(reply.raw, returned);
    reply.raw.insert(reply.raw.end(), data.begin(), data.end());
    return reply;
}

DriverDevice DriverDevice::token(uint8_t model, uint16_t memory_words,
                                 std::array<uint8_t, 8> serial)
{
    DriverDevice device;
    device.descriptor = {8, model, 0, 0, uint8_t(memory_words), uint8_t(memory_words >> 8), 0, 0};
    device.serial = serial;
    return device;
}

DriverDevice DriverDevice::non_token()
{
    DriverDevice device;
    device.descriptor = {7, 0x40, 0, 0, 0x00, 0x10, 0};
    return device;
}

std::vector<uint8_t> CommandBlock::request() const
{
    std::vector<uint8_t> bytes(4 + payload.size());
    bytes[0] = uint8_t(param1);
    bytes[1] = uint8_t(param1 >> 8);
    bytes[2] = uint8_t(param2);
    bytes[3] = uint8_t(param2 >> 8);
    std::copy(payload.begin(), payload.end(), bytes.begin() + 4);
    return bytes;
}

CommandBlock decode_command(const DriverRequest &request)
{
    std::vector<uint8_t> raw = request.input;
    raw.resize(std::max<size_t>(raw.size(), PYXO_COMMAND_BLOCK_SIZE), 0);
    CommandBlock block;
    block.device_index = le32(&raw[PYXO_COMMAND_DEVICE_INDEX]);
    block.reserved = le32(&raw[4]);
    block.param1 = le16(&raw[PYXO_COMMAND_PARAM1]);
    block.param2 = le16(&raw[PYXO_COMMAND_PARAM2]);
    block.command = le16(&raw[PYXO_COMMAND_CODE]);
    block.payload_length = le16(&raw[PYXO_COMMAND_PAYLOAD_LENGTH]);
    const size_t shown = std::min<size_t>(block.payload_length, PYXO_PAYLOAD_CAPACITY);
    block.payload.assign(raw.begin() + PYXO_COMMAND_PAYLOAD,
                         raw.begin() + PYXO_COMMAND_PAYLOAD + shown);
    block.out_size = request.out_size;
    block.raw = request.input;
    return block;
}

// ------------------------------------------------------------------ state

struct ScriptedDriver::State {
    struct Connection {
        int fd = -1;
        int id = 0;
        std::vector<uint8_t> inbox;
    };

    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::vector<DriverDevice> devices;
    uint32_t version = kDefaultVersion;
    std::map<uint32_t, std::deque<DriverReply>> scripts;
    CommandHandler handler;
    std::vector<DriverRequest> requests;
    std::map<uint32_t, int> attachments; // position -> connection id
    size_t open_connections = 0;
    bool stop = false;

    // Touched by the serving thread only.
    std::vector<Connection> connections;
    int next_connection_id = 1;

    // Everything below runs with the mutex held.
    DriverReply default_reply(int connection, uint32_t code, const std::vector<uint8_t> &input,
                              uint32_t out_size);
    DriverReply attach(int connection, const std::vector<uint8_t> &input);
    DriverReply release(int connection, const std::vector<uint8_t> &input);
    DriverReply command(int connection, const std::vector<uint8_t> &input);
    bool attached_to(uint32_t position, int connection) const
    {
        auto it = attachments.find(position);
        return it != attachments.end() && it->second == connection;
    }
};

DriverReply ScriptedDriver::State::default_reply(int connection, uint32_t code,
                                                 const std::vector<uint8_t> &input, uint32_t)
{
    switch (code) {
    case PYXO_IOCTL_GET_VERSION: {
        std::vector<uint8_t> out(4);
        put32(out, 0, version);
        return DriverReply::bytes(out);
    }
    case PYXO_IOCTL_ATTACH:
        return attach(connection, input);
    case PYXO_IOCTL_RELEASE:
        return release(connection, input);
    case PYXO_IOCTL_COMMAND:
        return command(connection, input);
    default:
        return DriverReply::fail(kInvalidFunction);
    }
}

DriverReply ScriptedDriver::State::attach(int connection, const std::vector<uint8_t> &input)
{
    if (input.size() < PYXO_ATTACH_BLOCK_SIZE)
        return DriverReply::fail(kInvalidParameter);
    const uint32_t position = le32(&input[PYXO_ATTACH_DEVICE_INDEX]);
    if (position >= devices.size())
        return DriverReply::fail(kNoMoreDevices);
    const DriverDevice &device = devices[position];
    auto holder = attachments.find(position);
    const bool free_here = !device.attached_elsewhere &&
                           (holder == attachments.end() || holder->second == connection);
    if (free_here)
        attachments[position] = connection;

    std::vector<uint8_t> block(input.begin(), input.begin() + PYXO_ATTACH_BLOCK_SIZE);
    put32(block, PYXO_ATTACH_DEVICE_INDEX, position + 1);
    put32(block, PYXO_ATTACH_STATUS, free_here ? 0 : 1);
    std::fill(block.begin() + PYXO_ATTACH_DESCRIPTOR, block.end(), 0);
    const size_t shown = std::min<size_t>(device.descriptor.size(), PYXO_DESCRIPTOR_SIZE);
    std::copy_n(device.descriptor.begin(), shown, block.begin() + PYXO_ATTACH_DESCRIPTOR);
    return DriverReply::bytes(block);
}

DriverReply ScriptedDriver::State::release(int connection, const std::vector<uint8_t> &input)
{
    if (input.size() < 4)
        return DriverReply::fail(kInvalidParameter);
    const uint32_t position = le32(&input[PYXO_ATTACH_DEVICE_INDEX]) - 1;
    if (attached_to(position, connection))
        attachments.erase(position);
    return DriverReply::empty();
}

DriverReply ScriptedDriver::State::command(int connection, const std::vector<uint8_t> &input)
{
    if (input.size() < PYXO_COMMAND_BLOCK_SIZE)
        return DriverReply::fail(kInvalidParameter);
    const uint32_t position = le32(&input[PYXO_COMMAND_DEVICE_INDEX]) - 1;
    if (!attached_to(position, connection) || position >= devices.size())
        return DriverReply::fail(kDeviceNotAttached);
    if (le16(&input[PYXO_COMMAND_CODE]) == PYXO_CMD_SERIAL_NUMBER) {
        const auto &serial = devices[position].serial;
        return DriverReply::bytes({serial.begin(), serial.end()});
    }
    return DriverReply::status(0x00);
}

// ---------------------------------------------------------------- driver

ScriptedDriver::ScriptedDriver() : state_(std::make_unique<State>())
{
    char pattern[] = "/tmp/vuxa-driver-XXXXXX"; // short: socket paths have ~100 bytes
    if (mkdtemp(pattern) == nullptr)
        fail_setup("mkdtemp");
    directory_ = pattern;

    listen_fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listen_fd_ < 0)
        fail_setup("socket");
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket_path().c_str());
    if (bind(listen_fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
        fail_setup("bind");
    if (listen(listen_fd_, 16) != 0)
        fail_setup("listen");
    if (pipe2(wake_fd_, O_CLOEXEC) != 0)
        fail_setup("pipe2");

    if (const char *previous = std::getenv("VUXA_DEVICE_DIR")) {
        had_env_ = true;
        previous_env_ = previous;
    }
    setenv("VUXA_DEVICE_DIR", directory_.c_str(), 1);
    thread_ = std::thread([this] { serve(); });
}

ScriptedDriver::~ScriptedDriver()
{
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->stop = true;
    }
    const char wake = 1;
    (void)!write(wake_fd_[1], &wake, 1);
    thread_.join();
    for (auto &connection : state_->connections)
        close(connection.fd);
    close(listen_fd_);
    close(wake_fd_[0]);
    close(wake_fd_[1]);
    unlink(socket_path().c_str());
    rmdir(directory_.c_str());
    if (had_env_)
        setenv("VUXA_DEVICE_DIR", previous_env_.c_str(), 1);
    else
        unsetenv("VUXA_DEVICE_DIR");
}

std::string ScriptedDriver::socket_path() const
{
    return directory_ + "/" + kSocketName;
}

void ScriptedDriver::remove_socket()
{
    unlink(socket_path().c_str());
}

void ScriptedDriver::add_device(DriverDevice device)
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->devices.push_back(std::move(device));
}

void ScriptedDriver::replace_device(uint32_t position, DriverDevice device)
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (position >= state_->devices.size())
        state_->devices.resize(position + 1);
    state_->devices[position] = std::move(device);
    state_->attachments.erase(position);
}

void ScriptedDriver::set_version(uint32_t version)
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->version = version;
}

void ScriptedDriver::script(uint32_t code, DriverReply reply)
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->scripts[code].push_back(std::move(reply));
}

void ScriptedDriver::script_command(DriverReply reply)
{
    script(PYXO_IOCTL_COMMAND, std::move(reply));
}

void ScriptedDriver::on_command(CommandHandler handler)
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->handler = std::move(handler);
}

std::vector<DriverRequest> ScriptedDriver::requests() const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->requests;
}

std::vector<CommandBlock> ScriptedDriver::commands() const
{
    std::vector<CommandBlock> blocks;
    for (const DriverRequest &request : requests()) {
        if (request.code == PYXO_IOCTL_COMMAND)
            blocks.push_back(decode_command(request));
    }
    return blocks;
}

void ScriptedDriver::clear_requests()
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->requests.clear();
}

bool ScriptedDriver::attached(uint32_t position) const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->attachments.count(position) != 0;
}

size_t ScriptedDriver::open_connections() const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->open_connections;
}

bool ScriptedDriver::wait_for_open_connections(size_t count,
                                               std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> lock(state_->mutex);
    return state_->changed.wait_for(lock, timeout,
                                    [&] { return state_->open_connections == count; });
}

// ----------------------------------------------------------- serving loop

namespace {

struct Frame {
    uint32_t code = 0;
    uint32_t out_size = 0;
    std::vector<uint8_t> input;
};

enum class Parse { complete, incomplete, bad };

// Takes one request frame off the front of inbox.
Parse take_frame(std::vector<uint8_t> &inbox, Frame &frame)
{
    if (inbox.size() < kRequestHeader)
        return Parse::incomplete;
    const uint32_t in_size = le32(&inbox[8]);
    frame.out_size = le32(&inbox[12]);
    if (le32(&inbox[0]) != kMagic || in_size > kMaxData || frame.out_size > kMaxData)
        return Parse::bad;
    if (inbox.size() < kRequestHeader + in_size)
        return Parse::incomplete;
    frame.code = le32(&inbox[4]);
    frame.input.assign(inbox.begin() + kRequestHeader, inbox.begin() + kRequestHeader + in_size);
    inbox.erase(inbox.begin(), inbox.begin() + kRequestHeader + in_size);
    return Parse::complete;
}

std::vector<uint8_t> response_frame(const DriverReply &reply, uint32_t out_size)
{
    if (!reply.raw.empty())
        return reply.raw;
    const size_t returned = reply.error != 0 ? 0 : std::min<size_t>(reply.output.size(), out_size);
    std::vector<uint8_t> bytes;
    append32(bytes, kMagic);
    append32(bytes, reply.error);
    append32(bytes, uint32_t(returned));
    bytes.insert(bytes.end(), reply.output.begin(), reply.output.begin() + returned);
    return bytes;
}

} // namespace

void ScriptedDriver::serve()
{
    State &state = *state_;
    for (;;) {
        std::vector<pollfd> polled = {{wake_fd_[0], POLLIN, 0}, {listen_fd_, POLLIN, 0}};
        for (const auto &connection : state.connections)
            polled.push_back({connection.fd, POLLIN, 0});
        if (poll(polled.data(), polled.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        {
            std::lock_guard<std::mutex> lock(state.mutex);
            if (state.stop)
                return;
        }
        if (polled[1].revents & POLLIN) {
            const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                state.connections.push_back({fd, state.next_connection_id++, {}});
                std::lock_guard<std::mutex> lock(state.mutex);
                ++state.open_connections;
                state.changed.notify_all();
            }
        }
        // Connections are served in the order polled; a closed one is
        // dropped after the pass.
        std::vector<int> closed;
        for (size_t i = 2; i < polled.size(); ++i) {
            if (polled[i].revents == 0)
                continue;
            if (!serve_connection(polled[i].fd))
                closed.push_back(polled[i].fd);
        }
        for (int fd : closed)
            drop_connection(fd);
    }
}

bool ScriptedDriver::serve_connection(int fd)
{
    State &state = *state_;
    auto it = std::find_if(state.connections.begin(), state.connections.end(),
                           [fd](const State::Connection &c) { return c.fd == fd; });
    uint8_t chunk[65536];
    const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n < 0 && errno == EINTR)
        return true;
    if (n <= 0)
        return false;
    it->inbox.insert(it->inbox.end(), chunk, chunk + n);
    for (;;) {
        Frame frame;
        const Parse parsed = take_frame(it->inbox, frame);
        if (parsed == Parse::incomplete)
            return true;
        if (parsed == Parse::bad)
            return false;
        if (!answer(it->id, fd, frame.code, frame.input, frame.out_size))
            return false;
    }
}

bool ScriptedDriver::answer(int connection, int fd, uint32_t code,
                            const std::vector<uint8_t> &input, uint32_t out_size)
{
    State &state = *state_;
    std::optional<DriverReply> reply;
    CommandHandler handler;
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        state.requests.push_back({connection, code, input, out_size});
        auto scripted = state.scripts.find(code);
        if (scripted != state.scripts.end() && !scripted->second.empty()) {
            reply = std::move(scripted->second.front());
            scripted->second.pop_front();
        } else if (code == PYXO_IOCTL_COMMAND) {
            handler = state.handler;
        }
    }
    if (!reply && handler)
        reply = handler(decode_command({connection, code, input, out_size}));
    if (!reply) {
        std::lock_guard<std::mutex> lock(state.mutex);
        reply = state.default_reply(connection, code, input, out_size);
    }
    if (reply->delay_ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(reply->delay_ms));
    if (reply->hang_up && reply->raw.empty())
        return false;
    return send_all(fd, response_frame(*reply, out_size)) && !reply->hang_up;
}

void ScriptedDriver::drop_connection(int fd)
{
    State &state = *state_;
    auto it = std::find_if(state.connections.begin(), state.connections.end(),
                           [fd](const State::Connection &c) { return c.fd == fd; });
    const int id = it->id;
    close(fd);
    state.connections.erase(it);
    std::lock_guard<std::mutex> lock(state.mutex);
    for (auto a = state.attachments.begin(); a != state.attachments.end();) {
        a = a->second == id ? state.attachments.erase(a) : std::next(a);
    }
    --state.open_connections;
    state.changed.notify_all();
}

} // namespace vuxa_test
