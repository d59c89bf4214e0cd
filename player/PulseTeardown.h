#pragma once

#include <pulse/pulseaudio.h>

namespace player {

// Ends a threaded-mainloop connection in the only safe order: stop the
// mainloop thread first, so no callback runs while the stream and context
// go. Any of the three may be null (a connection that failed half-way).
inline void TearDownPulse(pa_threaded_mainloop* mainloop, pa_context* context, pa_stream* stream) {
    if (mainloop != nullptr) {
        pa_threaded_mainloop_stop(mainloop);
    }
    if (stream != nullptr) {
        pa_stream_disconnect(stream);
        pa_stream_unref(stream);
    }
    if (context != nullptr) {
        pa_context_disconnect(context);
        pa_context_unref(context);
    }
    if (mainloop != nullptr) {
        pa_threaded_mainloop_free(mainloop);
    }
}

} // namespace player
