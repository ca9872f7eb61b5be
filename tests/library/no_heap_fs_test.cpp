// No heap allocation in the file-system calls, on their paths of success,
// refusal and argument error, in both identifier widths.
#include "no_heap.h"

#include <vector>

namespace vuxa_test {
namespace {

constexpr uint32_t kNarrowIdSize = 4;

void script_wide_entry(ScriptedDriver &d)
{
    d.script_command(DriverReply::bytes({0, 0, 0, 0, 0, 0, 0x2B, 0x40, 0x20, 0, 5, 0, 0, 0}));
}

void script_narrow_entry(ScriptedDriver &d)
{
    d.script_command(DriverReply::bytes({0, 0, 0, 0, 0x20, 0x40, 5, 0x2B}));
}

void script_three_read_chunks(ScriptedDriver &d)
{
    d.script_command(DriverReply::bytes(std::vector<uint8_t>(64, 1)));
    d.script_command(DriverReply::bytes(std::vector<uint8_t>(64, 2)));
    d.script_command(DriverReply::bytes(std::vector<uint8_t>(2, 3)));
}

void script_second_chunk_refused(ScriptedDriver &d)
{
    d.script_command(DriverReply::status(0));
    d.script_command(DriverReply::status(0x2B));
}

uint8_t g_buffer[256];
const PYXO_FILEINFO kFile = {0x11, 0x22, 64, 2, 1, 2, 0};

const HeapCase kFileCases[] = {
    {"Pyxo_Dir wide", script_wide_entry,
     [](PYXO_CONTEXT *c) {
         PYXO_FILEINFO info;
         return Pyxo_Dir(c, 1, 0, &info);
     },
     PYXO_OK},
    {"Pyxo_Dir narrow", script_narrow_entry,
     [](PYXO_CONTEXT *c) {
         c->id_size = kNarrowIdSize;
         PYXO_FILEINFO info;
         return Pyxo_Dir(c, 1, 0, &info);
     },
     PYXO_OK},
    {"Pyxo_SelectFile",
     [](ScriptedDriver &d) {
         d.script_command(DriverReply::bytes({0x10, 0, 0x22, 0}));
     },
     [](PYXO_CONTEXT *c) { return Pyxo_SelectFile(c, 1, 2); }, PYXO_OK},
    {"Pyxo_SelectFile narrow, out of range", nullptr,
     [](PYXO_CONTEXT *c) {
         c->id_size = kNarrowIdSize;
         return Pyxo_SelectFile(c, 0x10000, 2);
     },
     PYXO_ERR_INVALID_PARAMETER},
    {"Pyxo_CloseFile", nullptr, [](PYXO_CONTEXT *c) { return Pyxo_CloseFile(c); }, PYXO_OK},
    {"Pyxo_ReadFile in three chunks", script_three_read_chunks,
     [](PYXO_CONTEXT *c) {
         uint32_t count;
         return Pyxo_ReadFile(c, g_buffer, 10, 130, &count);
     },
     PYXO_OK},
    {"Pyxo_ReadFile refused",
     [](ScriptedDriver &d) { d.script_command(DriverReply::status(0x2B)); },
     [](PYXO_CONTEXT *c) {
         uint32_t count;
         return Pyxo_ReadFile(c, g_buffer, 0, 100, &count);
     },
     PYXO_ERR_INVALID_PARAMETER},
    {"Pyxo_ReadFile odd offset", nullptr,
     [](PYXO_CONTEXT *c) {
         uint32_t count;
         return Pyxo_ReadFile(c, g_buffer, 1, 2, &count);
     },
     PYXO_ERR_ODD_LENGTH},
    {"Pyxo_WriteFile in three chunks", nullptr,
     [](PYXO_CONTEXT *c) {
         uint32_t count;
         return Pyxo_WriteFile(c, g_buffer, 0, 200, &count);
     },
     PYXO_OK},
    {"Pyxo_WriteFile, second chunk refused", script_second_chunk_refused,
     [](PYXO_CONTEXT *c) {
         uint32_t count;
         return Pyxo_WriteFile(c, g_buffer, 0, 200, &count);
     },
     PYXO_ERR_INVALID_PARAMETER},
    {"Pyxo_Decrement", nullptr, [](PYXO_CONTEXT *c) { return Pyxo_Decrement(c); }, PYXO_OK},
    {"Pyxo_CreateDir", nullptr, [](PYXO_CONTEXT *c) { return Pyxo_CreateDir(c, 7, 256); }, PYXO_OK},
    {"Pyxo_CreateFile", nullptr, [](PYXO_CONTEXT *c) { return Pyxo_CreateFile(c, &kFile); },
     PYXO_OK},
    {"Pyxo_CreateFile narrow", nullptr,
     [](PYXO_CONTEXT *c) {
         c->id_size = kNarrowIdSize;
         return Pyxo_CreateFile(c, &kFile);
     },
     PYXO_OK},
    {"Pyxo_CreateFile refused",
     [](ScriptedDriver &d) { d.script_command(DriverReply::status(0x2A)); },
     [](PYXO_CONTEXT *c) { return Pyxo_CreateFile(c, &kFile); }, PYXO_ERR_NO_SPACE},
    {"Pyxo_DeleteDir", nullptr, [](PYXO_CONTEXT *c) { return Pyxo_DeleteDir(c, 5); }, PYXO_OK},
    {"Pyxo_DeleteFile", nullptr, [](PYXO_CONTEXT *c) { return Pyxo_DeleteFile(c, 5, 0x107); },
     PYXO_OK},
    {"Pyxo_DeleteAllFiles", nullptr, [](PYXO_CONTEXT *c) { return Pyxo_DeleteAllFiles(c); },
     PYXO_OK},
};

INSTANTIATE_TEST_SUITE_P(FileSystem, NoHeap, ::testing::ValuesIn(kFileCases), heap_case_name);

} // namespace
} // namespace vuxa_test
