// The file system: listing, selection, transfers, creation and deletion.
#include <cstring>

#include "exact_buffer.h"
#include "pending_exports.h"
#include "run.h"

namespace {

constexpr uint32_t kReadChunk = 64;
constexpr uint32_t kWriteChunk = 76;
// A transfer longer than this reaches past the last 16-bit word offset
// from any start and must be refused before anything is sent, so the
// target need not allocate it: it offers an empty buffer instead.
constexpr uint32_t kLongestTransfer = 2 * 0x10000 + 2 * kWriteChunk;
constexpr uint32_t kUnknownType = 0xFF;

bool odd(uint32_t value)
{
    return (value & 1) != 0;
}

bool narrow(const PYXO_CONTEXT &context)
{
    return context.id_size != 8;
}

void check_entry(const PYXO_FILEINFO &info, uint32_t dir_id)
{
    FUZZ_CHECK(info.dir_id == dir_id, "dir: the directory asked for");
    FUZZ_CHECK(info.type <= 4 || info.type == kUnknownType, "dir: known type or 0xFF");
    FUZZ_CHECK(info.size % 2 == 0, "dir: size in words");
    FUZZ_CHECK(info.access1 <= 7 && info.access2 <= 7 && info.access3 <= 7,
               "dir: access conditions of three bits");
    if (info.type == 0 || info.type == kUnknownType)
        FUZZ_CHECK(info.file_id == 0, "dir: no file identifier");
    if (info.type <= 1 || info.type == kUnknownType)
        FUZZ_CHECK(info.access1 == 7 && info.access2 == 7 && info.access3 == 7,
                   "dir: conditions not carried read 7");
    if (info.type == 2 || info.type == 3)
        FUZZ_CHECK(info.access3 == 0, "dir: types 2 and 3 have no third condition");
    if (info.type == 4)
        FUZZ_CHECK(info.access1 == 7, "dir: type 4's first condition");
}

void dir(Run &run)
{
    if (!Pyxo_Dir)
        return;
    const uint32_t dir_id = choose_id(run.in);
    const uint32_t index = run.in.flag() ? run.in.u32() : run.in.u8();
    ExactBuffer info(sizeof(PYXO_FILEINFO));
    const ExactBuffer untouched = info.copy();
    const Before before(*run.context);
    const uint32_t status = Pyxo_Dir(run.context, dir_id, index, (PYXO_FILEINFO *)info.data());
    check_status(status);
    FUZZ_CHECK(before.only_changed(*run.context, kMirrorFields), "dir changes the mirror only");
    FUZZ_CHECK(Mirror::of(*run.context) == before.mirror.deselected(), "dir: no file selected");
    FUZZ_CHECK(before.commands_since() <= 1, "dir: one command");
    if (status != PYXO_OK)
        FUZZ_CHECK(info.same_as(untouched), "dir: entry written only on success");
    else
        check_entry(*(const PYXO_FILEINFO *)info.data(), dir_id);
}

void select_file(Run &run)
{
    if (!Pyxo_SelectFile)
        return;
    const uint32_t dir_id = choose_id(run.in);
    const uint32_t file_id = choose_id(run.in);
    const Before before(*run.context);
    const bool too_wide = narrow(*run.context) && (dir_id > 0xFFFF || file_id > 0xFF);
    const uint32_t status = Pyxo_SelectFile(run.context, dir_id, file_id);
    check_status(status);
    const Mirror m = Mirror::of(*run.context);
    FUZZ_CHECK(before.only_changed(*run.context, kMirrorFields), "select changes the mirror only");
    FUZZ_CHECK(m.dir_id == dir_id && m.file_id == file_id, "select: the identifiers asked for");
    FUZZ_CHECK(before.commands_since() <= (too_wide ? 0u : 1u), "select: one command");
    if (too_wide)
        FUZZ_CHECK(status == PYXO_ERR_INVALID_PARAMETER, "select: identifiers too wide");
    if (status != PYXO_OK) {
        FUZZ_CHECK(m.size == 0 && m.no_file_selected(), "failed select: no file selected");
        return;
    }
    FUZZ_CHECK(m.type <= 7 && m.attr <= 31 && m.size % 2 == 0, "select: decoded answer");
}

void close_file(Run &run)
{
    if (!Pyxo_CloseFile)
        return;
    const Before before(*run.context);
    check_status(Pyxo_CloseFile(run.context));
    FUZZ_CHECK(before.only_changed(*run.context, kMirrorFields), "close file: mirror only");
    const Mirror cleared{0, 0, 0, kNoFileType, 0};
    FUZZ_CHECK(Mirror::of(*run.context) == cleared, "close file: mirror cleared");
    FUZZ_CHECK(before.commands_since() <= 1, "close file: one command");
}

// What every transfer leaves behind: a count that grew chunk by chunk.
void check_transfer(const Before &before, uint32_t status, uint32_t offset, uint32_t length,
                    uint32_t count, uint32_t chunk)
{
    const unsigned sent = before.commands_since();
    const uint64_t chunks = (uint64_t(length) + chunk - 1) / chunk;
    FUZZ_CHECK(count <= length && count % 2 == 0, "transfer: count within the length");
    FUZZ_CHECK(sent <= chunks, "transfer: one command per chunk");
    if (odd(offset) || odd(length))
        FUZZ_CHECK(status == PYXO_ERR_ODD_LENGTH && sent == 0, "transfer: odd offset or length");
    if (status == PYXO_OK)
        FUZZ_CHECK(count == length && sent == chunks, "transfer: complete on success");
    else
        FUZZ_CHECK(count == (sent > 0 ? (sent - 1) * chunk : 0), "transfer: completed chunks");
}

void read_file(Run &run)
{
    if (!Pyxo_ReadFile)
        return;
    const uint32_t offset = run.in.count(0x200);
    const uint32_t length = run.in.count(0x120);
    ExactBuffer buffer(length <= kLongestTransfer ? length : 0);
    ExactBuffer count(sizeof(uint32_t));
    const Before before(*run.context);
    const uint32_t status =
        Pyxo_ReadFile(run.context, buffer.data(), offset, length, (uint32_t *)count.data());
    check_status(status);
    FUZZ_CHECK(before.image.same(*run.context), "read changes nothing in the record");
    check_transfer(before, status, offset, length, *(const uint32_t *)count.data(), kReadChunk);
}

void write_file(Run &run)
{
    if (!Pyxo_WriteFile)
        return;
    const uint32_t offset = run.in.count(0x200);
    const uint32_t length = run.in.count(0x120);
    const ExactBuffer data(length <= kLongestTransfer ? length : 0, run.in);
    const ExactBuffer original = data.copy();
    ExactBuffer count(sizeof(uint32_t));
    const Before before(*run.context);
    const uint32_t status =
        Pyxo_WriteFile(run.context, data.data(), offset, length, (uint32_t *)count.data());
    check_status(status);
    FUZZ_CHECK(before.image.same(*run.context), "write changes nothing in the record");
    FUZZ_CHECK(data.same_as(original), "write leaves the caller's data alone");
    check_transfer(before, status, offset, length, *(const uint32_t *)count.data(), kWriteChunk);
}

void decrement(Run &run)
{
    if (!Pyxo_Decrement)
        return;
    const Before before(*run.context);
    check_status(Pyxo_Decrement(run.context));
    FUZZ_CHECK(before.image.same(*run.context), "decrement changes nothing in the record");
    FUZZ_CHECK(before.commands_since() <= 1, "decrement: one command");
}

void create_dir(Run &run)
{
    if (!Pyxo_CreateDir)
        return;
    const uint32_t dir_id = choose_id(run.in);
    const uint32_t size = run.in.count(0x400);
    const Before before(*run.context);
    const uint32_t status = Pyxo_CreateDir(run.context, dir_id, size);
    check_status(status);
    FUZZ_CHECK(before.image.same(*run.context), "create dir changes nothing in the record");
    FUZZ_CHECK(before.commands_since() <= 1, "create dir: one command");
    const uint32_t refusal = odd(size)                            ? PYXO_ERR_ODD_LENGTH
                             : size > run.context->memory_size ? PYXO_ERR_NO_SPACE
                             : size == 0                         ? PYXO_ERR_INVALID_PARAMETER
                                                                 : PYXO_OK;
    if (refusal != PYXO_OK)
        FUZZ_CHECK(status == refusal && before.commands_since() == 0, "create dir: refused");
}

PYXO_FILEINFO choose_file_info(FuzzInput &in)
{
    PYXO_FILEINFO info;
    info.file_id = choose_id(in);
    info.dir_id = choose_id(in);
    info.size = in.count(0x400);
    info.type = in.u8() % 8 == 0 ? in.u8() : uint8_t(2 + in.u8() % 3);
    info.access1 = in.u8() % 8 == 0 ? in.u8() : in.u8() % 8;
    info.access2 = in.u8() % 8 == 0 ? in.u8() : in.u8() % 8;
    info.access3 = in.u8() % 8 == 0 ? in.u8() : in.u8() % 8;
    return info;
}

void create_file(Run &run)
{
    if (!Pyxo_CreateFile)
        return;
    ExactBuffer record(sizeof(PYXO_FILEINFO));
    const PYXO_FILEINFO chosen = choose_file_info(run.in);
    memcpy(record.data(), &chosen, sizeof chosen);
    const Before before(*run.context);
    const uint32_t status = Pyxo_CreateFile(run.context, (const PYXO_FILEINFO *)record.data());
    check_status(status);
    FUZZ_CHECK(memcmp(record.data(), &chosen, sizeof chosen) == 0, "create file: record read only");
    FUZZ_CHECK(before.only_changed(*run.context, kMirrorFields), "create file: mirror only");
    FUZZ_CHECK(before.commands_since() <= 1, "create file: one command");
    const Mirror m = Mirror::of(*run.context);
    if (status == PYXO_ERR_NO_DEVICE && before.commands_since() == 0) {
        // The exchange found no open record: the command failed unsent.
        FUZZ_CHECK(!before.usable, "create file: unsent only on a record not open");
        FUZZ_CHECK(m == before.mirror.deselected(), "create file failed: no file selected");
    } else if (before.commands_since() == 0) {
        FUZZ_CHECK(status == PYXO_ERR_ODD_LENGTH || status == PYXO_ERR_NO_SPACE ||
                       status == PYXO_ERR_INVALID_PARAMETER,
                   "create file: unsent only when its arguments are refused");
        FUZZ_CHECK(m == before.mirror, "create file refused: mirror as it was");
    } else if (status == PYXO_OK) {
        const Mirror created{chosen.dir_id, chosen.file_id, chosen.size, chosen.type, 3};
        FUZZ_CHECK(m == created, "create file: the new file is selected");
        FUZZ_CHECK(chosen.type >= 2 && chosen.type <= 4 && chosen.size % 2 == 0 &&
                       chosen.size != 0 && chosen.size <= run.context->memory_size,
                   "create file: only valid records are sent");
    } else {
        FUZZ_CHECK(m == before.mirror.deselected(), "create file failed: no file selected");
    }
}

void delete_dir(Run &run)
{
    if (!Pyxo_DeleteDir)
        return;
    const uint32_t dir_id = choose_id(run.in);
    const Before before(*run.context);
    const uint32_t status = Pyxo_DeleteDir(run.context, dir_id);
    check_status(status);
    FUZZ_CHECK(before.only_changed(*run.context, kMirrorFields), "delete dir: mirror only");
    FUZZ_CHECK(before.commands_since() <= 1, "delete dir: one command");
    if (dir_id == 0) {
        FUZZ_CHECK(status == PYXO_ERR_INVALID_PARAMETER && before.commands_since() == 0,
                   "delete dir 0: refused");
        FUZZ_CHECK(Mirror::of(*run.context) == before.mirror, "delete dir 0: mirror untouched");
    } else {
        FUZZ_CHECK(Mirror::of(*run.context) == before.mirror.deselected(),
                   "delete dir: no file selected");
    }
}

void delete_file(Run &run)
{
    if (!Pyxo_DeleteFile)
        return;
    const uint32_t dir_id = choose_id(run.in);
    const uint32_t file_id = choose_id(run.in);
    const Before before(*run.context);
    check_status(Pyxo_DeleteFile(run.context, dir_id, file_id));
    FUZZ_CHECK(before.only_changed(*run.context, kMirrorFields), "delete file: mirror only");
    FUZZ_CHECK(Mirror::of(*run.context) == before.mirror.deselected(),
               "delete file: no file selected");
    FUZZ_CHECK(before.commands_since() <= 1, "delete file: one command");
}

void delete_all_files(Run &run)
{
    if (!Pyxo_DeleteAllFiles)
        return;
    const Before before(*run.context);
    check_status(Pyxo_DeleteAllFiles(run.context));
    FUZZ_CHECK(before.image.same(*run.context), "delete all changes nothing in the record");
    FUZZ_CHECK(before.commands_since() <= 1, "delete all: one command");
}

} // namespace

const Operation kFileOperations[] = {
    dir,         select_file, close_file, read_file,  write_file,       decrement,
    create_dir,  create_file, delete_dir, delete_file, delete_all_files, nullptr,
};
