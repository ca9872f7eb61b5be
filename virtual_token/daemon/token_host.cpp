#include "token_host.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <sys/random.h>

#include "image_file.h"
#include "vtd.h"

namespace vuxad {

namespace {

void fill_random(void *, uint8_t *out, size_t n)
{
    while (n > 0) {
        ssize_t got = getrandom(out, n, 0);
        if (got < 0)
            continue; // EINTR; the kernel's pool never runs dry once seeded
        out += got;
        n -= size_t(got);
    }
}

} // namespace

TokenHost::TokenHost()
    : memory_(new uint64_t[(vtd_driver_size() + 7) / 8]()),
      driver_(reinterpret_cast<vtd_driver *>(memory_.get()))
{
    vtd_driver_init(driver_, fill_random, nullptr);
}

TokenHost::~TokenHost() = default;

void TokenHost::load(uint32_t position, const std::string &path)
{
    std::vector<uint8_t> image = read_image_file(path, vtd_max_image_size());
    uint32_t error = vtd_import_image(driver_, position, image.data(), uint32_t(image.size()));
    if (error != 0)
        throw std::runtime_error(path +
                                 ": not a usable token image: " + vtd_image_error_text(error));
    vtd_take_changed(driver_); // the file already holds this token
    files_[position] = path;
}

void TokenHost::create(uint32_t position, const std::string &path, const NewToken &token)
{
    if (file_exists(path))
        throw std::runtime_error(path + ": exists already; --new makes a new image file");
    vtd_token_params params{};
    params.model = token.model;
    params.memory_words = uint16_t(token.memory_bytes / 2);
    if (token.serial)
        std::copy(token.serial->begin(), token.serial->end(), params.serial);
    else
        fill_random(nullptr, params.serial, sizeof params.serial);
    params.pin = token.pin;
    std::copy(token.master_key.begin(), token.master_key.end(), params.master_key);
    std::copy(token.settings.begin(), token.settings.end(), params.settings);
    uint32_t error = vtd_new_token(driver_, position, &params);
    if (error != 0)
        throw std::runtime_error(path + ": cannot make that token: " + vtd_image_error_text(error));
    vtd_take_changed(driver_);
    save_atomically(path, export_image(position));
    files_[position] = path;
}

uint32_t TokenHost::open_handle(uint32_t *handle)
{
    return vtd_open_handle(driver_, handle);
}

void TokenHost::close_handle(uint32_t handle)
{
    vtd_close_handle(driver_, handle);
    save_changes();
}

uint32_t TokenHost::control(uint32_t handle, uint32_t code, std::span<const uint8_t> input,
                            std::span<uint8_t> output, uint32_t *returned)
{
    uint32_t error = vtd_control(driver_, handle, code, input.data(), uint32_t(input.size()),
                                 output.data(), uint32_t(output.size()), returned);
    if (save(vtd_take_changed(driver_)))
        return error;
    *returned = 0;
    return kErrorWriteFault;
}

void TokenHost::save_changes()
{
    save(vtd_take_changed(driver_));
}

std::vector<uint8_t> TokenHost::export_image(uint32_t position)
{
    std::vector<uint8_t> image(vtd_max_image_size());
    image.resize(vtd_export_image(driver_, position, image.data(), uint32_t(image.size())));
    return image;
}

bool TokenHost::save(uint32_t changed)
{
    uint32_t pending = changed | unsaved_;
    bool saved_all_changed = true;
    unsaved_ = 0;
    for (const auto &[position, path] : files_) {
        uint32_t bit = 1u << position;
        if ((pending & bit) == 0)
            continue;
        std::vector<uint8_t> image = export_image(position);
        if (image.empty())
            continue; // token removed: the file keeps its last state
        try {
            save_atomically(path, image);
        } catch (const std::exception &e) {
            fprintf(stderr, "vuxad: %s\n", e.what());
            unsaved_ |= bit;
            saved_all_changed = saved_all_changed && (changed & bit) == 0;
        }
    }
    return saved_all_changed;
}

} // namespace vuxad
