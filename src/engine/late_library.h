// Libraries opened on first use instead of with the program. Each one linked in is loaded,
// relocated and initialised before main() whether it is used or not, and the sound libraries
// bring dozens of their own (sound servers, display and D-Bus clients).
#pragma once
#include <cstdio>
#include <dlfcn.h>
#include <type_traits>

namespace kv::engine {

// Declares a member `name` of the type of a pointer to the declared function `name`.
#define KV_LATE_POINTER(name) decltype(&::name) name = nullptr;

// Opens `soname` and binds `name` of `api` for every name of the list macro `functions`,
// which is called as functions(BIND). Says on stderr what is missing, once per library.
#define KV_LATE_BIND(api, soname, functions)                                                                 \
    [&] {                                                                                                    \
        void* lib = dlopen(soname, RTLD_NOW | RTLD_LOCAL);                                                   \
        if (!lib) {                                                                                          \
            std::fprintf(stderr, "kavetto: %s could not be loaded (%s)\n", soname, dlerror());               \
            return false;                                                                                    \
        }                                                                                                    \
        bool all = true;                                                                                     \
        auto& lateApi = api;                                                                                 \
        auto bind = [&](auto& member, const char* name) {                                                    \
            member = reinterpret_cast<std::remove_reference_t<decltype(member)>>(dlsym(lib, name));          \
            all = all && member;                                                                             \
        };                                                                                                   \
        (void)bind;                                                                                          \
        functions(KV_LATE_BIND_ONE) if (!all)                                                                \
            std::fprintf(stderr, "kavetto: %s lacks a function this program needs\n", soname);               \
        return all;                                                                                          \
    }()
#define KV_LATE_BIND_ONE(name) bind(lateApi.name, #name);

} // namespace kv::engine
