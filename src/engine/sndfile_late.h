// libsndfile, opened on the first WAVE file played or converted rather than with the program:
// with the codec libraries it brings (FLAC, Vorbis, Opus) it was about a tenth of start-up.
#pragma once
#include "engine/late_library.h"

#include <sndfile.h>

namespace kv::engine {

#define KV_SNDFILE_FUNCTIONS(X)                                                                              \
    X(sf_open)                                                                                               \
    X(sf_close)                                                                                              \
    X(sf_command)                                                                                            \
    X(sf_error)                                                                                              \
    X(sf_readf_float)                                                                                        \
    X(sf_readf_short)                                                                                        \
    X(sf_seek)

struct SndfileLibrary {
    KV_SNDFILE_FUNCTIONS(KV_LATE_POINTER)
};

// The library's functions, or nullptr when it cannot be loaded (said once on stderr).
inline const SndfileLibrary* Sndfile() {
    static SndfileLibrary api;
    static const bool loaded = KV_LATE_BIND(api, "libsndfile.so.1", KV_SNDFILE_FUNCTIONS);
    return loaded ? &api : nullptr;
}

} // namespace kv::engine
