// The driver core as vuxad hosts it: the core's memory, its random source,
// and the image files that its tokens are kept in step with.
#ifndef VUXAD_TOKEN_HOST_H
#define VUXAD_TOKEN_HOST_H

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "options.h"

struct vtd_driver;

namespace vuxad {

// The Win32 error a request fails with when the change it made could not
// be saved: the client must not take the change as done.
constexpr uint32_t kErrorWriteFault = 29; // ERROR_WRITE_FAULT

class TokenHost {
public:
    TokenHost();
    ~TokenHost();
    TokenHost(const TokenHost &) = delete;
    TokenHost &operator=(const TokenHost &) = delete;

    // Puts the token of an image file at a position and keeps the file in
    // step with it from then on.  Throws std::runtime_error naming the file
    // and what is wrong with it.
    void load(uint32_t position, const std::string &path);

    // Makes a fresh token at a position and writes it to a new image file,
    // which it is kept in step with from then on.
    void create(uint32_t position, const std::string &path, const NewToken &token);

    uint32_t open_handle(uint32_t *handle);
    void close_handle(uint32_t handle);

    // One I/O control, then the images of every token it changed are saved.
    // A change that could not be saved fails the control with
    // kErrorWriteFault; the save is tried again after later controls.
    uint32_t control(uint32_t handle, uint32_t code, std::span<const uint8_t> input,
                     std::span<uint8_t> output, uint32_t *returned);

    // Saves what changed outside a control (a handle closed).
    void save_changes();

private:
    // Saves the changed positions; false when one of them failed.
    bool save(uint32_t changed);
    std::vector<uint8_t> export_image(uint32_t position);

    std::unique_ptr<uint64_t[]> memory_;
    vtd_driver *driver_;
    std::map<uint32_t, std::string> files_; // position -> image file
    uint32_t unsaved_ = 0;                  // positions whose last save failed
};

} // namespace vuxad

#endif
