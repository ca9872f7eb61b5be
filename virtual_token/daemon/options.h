// vuxad's command line.
#ifndef VUXAD_OPTIONS_H
#define VUXAD_OPTIONS_H

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vuxad {

// What a token made by --new starts with.
struct NewToken {
    uint8_t model = 0x50;                         // 0x40..0x5F; below 0x50: 16-bit identifiers
    uint32_t memory_bytes = 8192;                 // even, 128..131070
    std::optional<std::array<uint8_t, 8>> serial; // random when not given
    uint32_t pin = 1234;
    std::array<uint8_t, 8> master_key{1, 2, 3, 4, 5, 6, 7, 8};
    // Byte 0: bits 2-0 the condition for changing the file system, bits 5-3
    // for changing the PIN; byte 1: the PIN's (bits 3-0) and the master
    // key's (bits 7-4) try limits.  Default: the file system after the
    // master key, the PIN after the PIN or the master key, 3 tries for the
    // PIN, 5 for the key (the defaults of the virtual token's tools).
    std::array<uint8_t, 2> settings{0x1A, 0x53};
};

// One token image of the command line; its place in the list is its position.
struct ImageArg {
    std::string path;
    std::optional<NewToken> create; // set for --new FILE: make the file first
};

struct Options {
    std::string dir; // empty: the default socket directory
    std::vector<ImageArg> images;
    bool create_only = false; // make the --new files, then exit
    bool help = false;
};

// Throws std::invalid_argument with a message for the user.
Options parse_options(int argc, char **argv);

// The usage text printed by --help and after a usage error.
const char *usage_text();

} // namespace vuxad

#endif
