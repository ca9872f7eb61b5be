// Token image files: reading one whole, and replacing one atomically.
#ifndef VUXAD_IMAGE_FILE_H
#define VUXAD_IMAGE_FILE_H

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vuxad {

// The whole file, refused (std::runtime_error naming the file) when it
// cannot be read or holds more than limit bytes.
std::vector<uint8_t> read_image_file(const std::string &path, size_t limit);

// Replaces the file's contents so that a crash at any moment leaves either
// the old or the new contents whole: write PATH.tmp (mode 0600: images hold
// the token's secrets), fsync it, rename it over PATH, fsync the directory.
// Throws std::runtime_error naming the file when a step fails.
void save_atomically(const std::string &path, std::span<const uint8_t> bytes);

bool file_exists(const std::string &path);

} // namespace vuxad

#endif
