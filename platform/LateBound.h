#pragma once
// Calls into a shared library that is opened on first use rather than
// linked (POSIX only). A loader file includes this, defines its
// Symbol(const char*) with FR_LATE_BOUND_LIBRARY and forwards each function
// it needs with FR_FORWARD or FR_FORWARD_VOID, under the library's own name
// and declaration, so that the compiler checks them against its headers.
// Thread-safe: the library is opened once, each function looked up once.
#include <dlfcn.h>

// Symbol(pszName) in the library pszSoname; nullptr when either is missing.
#define FR_LATE_BOUND_LIBRARY(pszSoname)                                             \
    namespace {                                                                      \
    void* Symbol(const char* pszName) {                                              \
        static void* const s_pLibrary = ::dlopen(pszSoname, RTLD_NOW | RTLD_LOCAL); \
        return s_pLibrary != nullptr ? ::dlsym(s_pLibrary, pszName) : nullptr;       \
    }                                                                                \
    }

// One function: its real counterpart looked up once; fail when there is none.
#define FR_FORWARD(ret, name, params, args, fail)                    \
    extern "C" ret name params {                                     \
        using Fn = ret(*) params;                                    \
        static const Fn s_pfn = reinterpret_cast<Fn>(Symbol(#name)); \
        if (s_pfn == nullptr) return fail;                           \
        return s_pfn args;                                           \
    }
#define FR_FORWARD_VOID(name, params, args)                          \
    extern "C" void name params {                                    \
        using Fn = void(*) params;                                   \
        static const Fn s_pfn = reinterpret_cast<Fn>(Symbol(#name)); \
        if (s_pfn != nullptr) s_pfn args;                            \
    }
