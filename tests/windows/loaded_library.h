// A library DLL loaded at run time, with typed access to its exports, and
// what the Windows loader records about it.
#ifndef VUXA_TESTS_WINDOWS_LOADED_LIBRARY_H
#define VUXA_TESTS_WINDOWS_LOADED_LIBRARY_H

#include <windows.h>
#include <winternl.h>

#include <string>

class LoadedLibrary {
public:
    explicit LoadedLibrary(const std::string &file) : module_(LoadLibraryA(file.c_str())) {}
    ~LoadedLibrary()
    {
        if (module_)
            FreeLibrary(module_);
    }
    LoadedLibrary(const LoadedLibrary &) = delete;
    LoadedLibrary &operator=(const LoadedLibrary &) = delete;

    bool loaded() const { return module_ != nullptr; }
    HMODULE module() const { return module_; }

    // The export of that name with the type of the header's declaration,
    // or null when the DLL does not export it.
    template <typename Function>
    Function *get(const char *name) const
    {
        return reinterpret_cast<Function *>(
            reinterpret_cast<void *>(GetProcAddress(module_, name)));
    }

private:
    HMODULE module_;
};

// The loader's flag that DisableThreadLibraryCalls sets: no more thread
// attach and detach notifications for the module.
constexpr ULONG LOADER_NO_THREAD_CALLS = 0x00040000;

// The loader's flags of a loaded module, read from its entry in the
// process's module list (the documented x64 layout of the entry), or 0
// when the module is not in the list.
inline ULONG loader_flags(HMODULE module)
{
    struct Entry {
        LIST_ENTRY in_load_order;
        LIST_ENTRY in_memory_order;
        LIST_ENTRY in_initialization_order;
        void *dll_base;
        void *entry_point;
        ULONG size_of_image;
        UNICODE_STRING full_name;
        UNICODE_STRING base_name;
        ULONG flags;
    };
    LIST_ENTRY *head = &NtCurrentTeb()->ProcessEnvironmentBlock->Ldr->InMemoryOrderModuleList;
    for (LIST_ENTRY *link = head->Flink; link != head; link = link->Flink) {
        auto *entry = CONTAINING_RECORD(link, Entry, in_memory_order);
        if (entry->dll_base == module)
            return entry->flags;
    }
    return 0;
}

#endif
