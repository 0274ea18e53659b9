// libmpv is loaded the first time a media file needs it, not at start-up: it brings the whole
// ffmpeg tree with it (tens of megabytes of libraries), which most sessions of a music player
// playing MP3s never use. UI thread only.
#pragma once
#include <mpv/client.h>
#include <mpv/render.h>

namespace kv::playback {

struct MpvLibrary {
    decltype(&::mpv_create) create;
    decltype(&::mpv_initialize) initialize;
    decltype(&::mpv_terminate_destroy) terminate_destroy;
    decltype(&::mpv_set_option_string) set_option_string;
    decltype(&::mpv_set_property) set_property;
    decltype(&::mpv_get_property) get_property;
    decltype(&::mpv_get_property_string) get_property_string;
    decltype(&::mpv_command) command;
    decltype(&::mpv_wait_event) wait_event;
    decltype(&::mpv_set_wakeup_callback) set_wakeup_callback;
    decltype(&::mpv_free) free;
    // The render API, through which the media windows draw the pictures.
    decltype(&::mpv_set_property_string) set_property_string;
    decltype(&::mpv_render_context_create) render_create;
    decltype(&::mpv_render_context_set_update_callback) render_set_update_callback;
    decltype(&::mpv_render_context_update) render_update;
    decltype(&::mpv_render_context_render) render;
    decltype(&::mpv_render_context_free) render_free;
};

// The library's functions, or nothing when it cannot be loaded (reported once on stderr).
const MpvLibrary* Mpv();

} // namespace kv::playback
