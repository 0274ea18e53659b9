#include "playback/mpv_library.h"

#include <cstdio>
#include <dlfcn.h>

namespace kv::playback {
namespace {

template <class F>
bool Bind(void* handle, const char* name, F& target) {
    target = reinterpret_cast<F>(dlsym(handle, name));
    return target != nullptr;
}

const MpvLibrary* Load() {
    void* handle = dlopen("libmpv.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!handle) handle = dlopen("libmpv.so", RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "kavetto: libmpv could not be loaded (%s); media files other than MPEG audio, "
                             "WAVE and MIDI will not play\n", dlerror());
        return nullptr;
    }
    static MpvLibrary api;
    const bool ok = Bind(handle, "mpv_create", api.create) && Bind(handle, "mpv_initialize", api.initialize) &&
                    Bind(handle, "mpv_terminate_destroy", api.terminate_destroy) &&
                    Bind(handle, "mpv_set_option_string", api.set_option_string) &&
                    Bind(handle, "mpv_set_property", api.set_property) &&
                    Bind(handle, "mpv_get_property", api.get_property) &&
                    Bind(handle, "mpv_get_property_string", api.get_property_string) &&
                    Bind(handle, "mpv_command", api.command) && Bind(handle, "mpv_wait_event", api.wait_event) &&
                    Bind(handle, "mpv_set_wakeup_callback", api.set_wakeup_callback) &&
                    Bind(handle, "mpv_free", api.free) &&
                    Bind(handle, "mpv_set_property_string", api.set_property_string) &&
                    Bind(handle, "mpv_render_context_create", api.render_create) &&
                    Bind(handle, "mpv_render_context_set_update_callback", api.render_set_update_callback) &&
                    Bind(handle, "mpv_render_context_update", api.render_update) &&
                    Bind(handle, "mpv_render_context_render", api.render) &&
                    Bind(handle, "mpv_render_context_free", api.render_free);
    if (!ok) {
        std::fprintf(stderr, "kavetto: libmpv lacks a function this program needs\n");
        return nullptr;
    }
    return &api;
}

} // namespace

const MpvLibrary* Mpv() {
    static const MpvLibrary* api = Load();
    return api;
}

} // namespace kv::playback
