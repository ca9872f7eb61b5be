// The seven authentication calls, each as a row a table of cases can name.
#ifndef VUXA_TEST_AUTH_CALLS_H
#define VUXA_TEST_AUTH_CALLS_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "pyxo.h"

namespace vuxa_test {

constexpr uint8_t kMasterKey[8] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};

struct AuthCall {
    std::string name;
    std::function<uint32_t(PYXO_CONTEXT *)> call;
};

inline std::vector<AuthCall> status_only_calls()
{
    return {
        {"VerifyPIN", [](PYXO_CONTEXT *c) { return Pyxo_VerifyPIN(c, 0x12345678); }},
        {"VerifyMasterKey", [](PYXO_CONTEXT *c) { return Pyxo_VerifyMasterKey(c, kMasterKey); }},
        {"ModifyPIN", [](PYXO_CONTEXT *c) { return Pyxo_ModifyPIN(c, 0x12345678); }},
        {"ModifyMasterKey", [](PYXO_CONTEXT *c) { return Pyxo_ModifyMasterKey(c, kMasterKey); }},
        {"SetAccessSettings",
         [](PYXO_CONTEXT *c) {
             const PYXO_ACCESS_SETTINGS settings = {1, 2, 3, 4};
             return Pyxo_SetAccessSettings(c, &settings);
         }},
    };
}

inline std::vector<AuthCall> data_calls()
{
    return {
        {"GetChallenge",
         [](PYXO_CONTEXT *c) {
             uint8_t challenge[8];
             return Pyxo_GetChallenge(c, challenge);
         }},
        {"GetAccessSettings",
         [](PYXO_CONTEXT *c) {
             PYXO_ACCESS_SETTINGS settings{};
             return Pyxo_GetAccessSettings(c, &settings);
         }},
    };
}

} // namespace vuxa_test

#endif
