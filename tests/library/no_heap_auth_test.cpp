// No heap allocation in the authentication calls and the token hashing.
#include "no_heap.h"

namespace vuxa_test {
namespace {

const uint8_t kMasterKey[8] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
const uint8_t kData[64] = {1, 2, 3};

void answer_settings(ScriptedDriver &d)
{
    d.script_command(DriverReply::bytes({0xC5, 0xA3}));
}

void answer_challenge(ScriptedDriver &d)
{
    d.script_command(DriverReply::bytes(std::vector<uint8_t>(8, 0x5A)));
}

void answer_hash(ScriptedDriver &d)
{
    d.script_command(DriverReply::bytes(std::vector<uint8_t>(16, 0x01)));
}

// Selection answers (4 bytes) and hash answers (16 bytes), in turn.
void answer_select_hash(ScriptedDriver &d)
{
    d.script_command(DriverReply::bytes({0x08, 0x00, 0x43, 0x00}));
    answer_hash(d);
}

void answer_select_hash_twice(ScriptedDriver &d)
{
    answer_select_hash(d);
    answer_select_hash(d);
}

const HeapCase kAuthCases[] = {
    {"Pyxo_VerifyPIN", nullptr, [](PYXO_CONTEXT *c) { return Pyxo_VerifyPIN(c, 0x12345678); },
     PYXO_OK},
    {"Pyxo_VerifyPIN refused", [](ScriptedDriver &d) { d.script_command(DriverReply::status(1)); },
     [](PYXO_CONTEXT *c) { return Pyxo_VerifyPIN(c, 0x12345678); }, PYXO_ERR_ACCESS_DENIED},
    {"Pyxo_VerifyMasterKey", nullptr,
     [](PYXO_CONTEXT *c) { return Pyxo_VerifyMasterKey(c, kMasterKey); }, PYXO_OK},
    {"Pyxo_GetChallenge", answer_challenge,
     [](PYXO_CONTEXT *c) {
         uint8_t challenge[8];
         return Pyxo_GetChallenge(c, challenge);
     },
     PYXO_OK},
    {"Pyxo_GetAccessSettings", answer_settings,
     [](PYXO_CONTEXT *c) {
         PYXO_ACCESS_SETTINGS settings;
         return Pyxo_GetAccessSettings(c, &settings);
     },
     PYXO_OK},
    {"Pyxo_SetAccessSettings", nullptr,
     [](PYXO_CONTEXT *c) {
         const PYXO_ACCESS_SETTINGS settings = {15, 15, 7, 7};
         return Pyxo_SetAccessSettings(c, &settings);
     },
     PYXO_OK},
    {"Pyxo_SetAccessSettings out of range", nullptr,
     [](PYXO_CONTEXT *c) {
         const PYXO_ACCESS_SETTINGS settings = {16, 0, 0, 0};
         return Pyxo_SetAccessSettings(c, &settings);
     },
     PYXO_ERR_INVALID_PARAMETER},
    {"Pyxo_ModifyPIN", nullptr, [](PYXO_CONTEXT *c) { return Pyxo_ModifyPIN(c, 0x12345678); },
     PYXO_OK},
    {"Pyxo_ModifyMasterKey", nullptr,
     [](PYXO_CONTEXT *c) { return Pyxo_ModifyMasterKey(c, kMasterKey); }, PYXO_OK},
};

INSTANTIATE_TEST_SUITE_P(Authentication, NoHeap, ::testing::ValuesIn(kAuthCases), heap_case_name);

const HeapCase kTokenHashCases[] = {
    {"Pyxo_HashToken raw", answer_hash,
     [](PYXO_CONTEXT *c) {
         uint8_t digest[16];
         return Pyxo_HashToken(c, PYXO_HASH_MODE_RAW, kData, sizeof kData, digest);
     },
     PYXO_OK},
    {"Pyxo_HashToken keyed", answer_hash,
     [](PYXO_CONTEXT *c) {
         uint8_t digest[16];
         return Pyxo_HashToken(c, PYXO_HASH_MODE_KEYED, kData, 16, digest);
     },
     PYXO_OK},
    {"Pyxo_HashToken chap", answer_hash,
     [](PYXO_CONTEXT *c) {
         uint8_t digest[16];
         return Pyxo_HashToken(c, PYXO_HASH_MODE_CHAP, kData, 52, digest);
     },
     PYXO_OK},
    {"Pyxo_HMAC_MD5", answer_select_hash_twice,
     [](PYXO_CONTEXT *c) {
         uint8_t digest[16];
         return Pyxo_HMAC_MD5(c, 1, 1, 1, 2, kData, 55, digest);
     },
     PYXO_OK},
    {"Pyxo_CHAP_MD5", answer_select_hash,
     [](PYXO_CONTEXT *c) {
         uint8_t digest[16];
         return Pyxo_CHAP_MD5(c, 1, 3, 0x42, kData, 50, digest);
     },
     PYXO_OK},
};

INSTANTIATE_TEST_SUITE_P(TokenHashing, NoHeap, ::testing::ValuesIn(kTokenHashCases),
                         heap_case_name);

} // namespace
} // namespace vuxa_test
