// The shared object as applications see it: its name, its exports and what
// it imports, read from the file with the system's binary tools.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>

namespace {

// The library's whole binary interface.
const std::set<std::string> kInterface = {
    "Pyxo_OpenDevice",        "Pyxo_CloseDevice",     "Pyxo_Diagnose",
    "Pyxo_ResetDevice",       "Pyxo_GetResponse",     "Pyxo_GetSerialNumber",
    "Pyxo_LedControl",        "Pyxo_Dir",             "Pyxo_SelectFile",
    "Pyxo_CloseFile",         "Pyxo_ReadFile",        "Pyxo_WriteFile",
    "Pyxo_Decrement",         "Pyxo_CreateDir",       "Pyxo_CreateFile",
    "Pyxo_DeleteDir",         "Pyxo_DeleteFile",      "Pyxo_DeleteAllFiles",
    "Pyxo_VerifyPIN",         "Pyxo_VerifyMasterKey", "Pyxo_GetChallenge",
    "Pyxo_GetAccessSettings", "Pyxo_SetAccessSettings", "Pyxo_ModifyPIN",
    "Pyxo_ModifyMasterKey",   "Pyxo_HashToken",       "Pyxo_HMAC_MD5",
    "Pyxo_CHAP_MD5",          "MD5Init",              "MD5Update",
    "MD5Final",               "MD5_Hash",             "HMAC_MD5",
    "CHAP_MD5",
};

// What library code must never need: the heap, the C++ runtime, dynamic
// thread-local storage (whose first use may allocate), load-time
// registration of destructors.
const std::set<std::string> kForbiddenImports = {
    "malloc", "calloc", "realloc", "free", "aligned_alloc", "posix_memalign", "_Znwm", "_Znam",
    "_ZdlPv", "_ZdaPv", "_ZdlPvm", "__cxa_guard_acquire", "__cxa_atexit", "__cxa_throw",
    "__tls_get_addr", "__gxx_personality_v0", "_Unwind_Resume", "pthread_mutex_lock",
};

std::string run(const std::string &command)
{
    std::string output;
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return output;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    pclose(pipe);
    return output;
}

// Symbol names from nm output, without version suffixes; with `types`,
// only symbols of those type letters.
std::set<std::string> symbols(const std::string &nm_options, const std::string &types = "")
{
    std::set<std::string> names;
    std::istringstream lines(run("nm " + nm_options + " '" VUXA_SHARED_LIBRARY "' 2>/dev/null"));
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string a, b, c;
        fields >> a >> b >> c;
        const std::string type = c.empty() ? a : b; // undefined symbols have no address
        std::string name = c.empty() ? b : c;
        name = name.substr(0, name.find('@'));
        if (!name.empty() && (types.empty() || types.find(type) != std::string::npos))
            names.insert(name);
    }
    return names;
}

bool sanitized()
{
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#endif
#endif
    return false;
}

TEST(Exports, OnlyInterfaceFunctionsAreExported)
{
    const std::set<std::string> exported = symbols("-D --defined-only");
    ASSERT_FALSE(exported.empty()) << "nm found no symbols in " VUXA_SHARED_LIBRARY;
    for (const std::string &name : exported) {
        if (sanitized() && (name.rfind("__asan", 0) == 0 || name.rfind("__ubsan", 0) == 0 ||
                            name.rfind("__odr_asan", 0) == 0 || name.rfind("___asan", 0) == 0))
            continue; // the sanitizers' own hooks
        EXPECT_TRUE(kInterface.count(name)) << "exported but not part of the interface: " << name;
    }
}

TEST(Exports, EveryInterfaceFunctionBuiltIsExported)
{
    // The full symbol table also lists hidden functions, as local symbols.
    const std::set<std::string> defined = symbols("--defined-only", "TtWw");
    const std::set<std::string> exported = symbols("-D --defined-only", "TW");
    ASSERT_TRUE(defined.count("Pyxo_OpenDevice")) << "no symbol table in " VUXA_SHARED_LIBRARY;
    for (const std::string &name : kInterface) {
        if (defined.count(name))
            EXPECT_TRUE(exported.count(name)) << "defined but not exported: " << name;
    }
    // The stand-in of the kernel services is the library's own business.
    for (const char *name : {"CreateFileA", "DeviceIoControl", "CloseHandle", "GetLastError"})
        EXPECT_FALSE(exported.count(name)) << name;
}

TEST(Exports, ImportsNoHeapAndNoRuntime)
{
    const std::set<std::string> imported = symbols("-D --undefined-only");
    for (const std::string &name : imported)
        EXPECT_FALSE(kForbiddenImports.count(name)) << "imports " << name;
}

TEST(Exports, CarriesAVersionedName)
{
    const std::string dynamic = run("objdump -p '" VUXA_SHARED_LIBRARY "'");
    EXPECT_NE(dynamic.find("SONAME               libvuxa.so.1\n"), std::string::npos) << dynamic;
    if (!sanitized()) {
        // Nothing but the C library: no C++ runtime.
        std::istringstream lines(dynamic);
        std::string line;
        while (std::getline(lines, line)) {
            if (line.find("NEEDED") != std::string::npos)
                EXPECT_NE(line.find("libc.so."), std::string::npos) << line;
        }
    }
}

} // namespace
