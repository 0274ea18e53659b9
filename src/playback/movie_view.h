// The picture area of a media window. libmpv draws the video into it through its render API
// (`mpv_render_context`), never through a window of its own: with OpenGL into a QOpenGLWidget
// where the platform has OpenGL, otherwise with mpv's software renderer into a QImage, so the
// window works on any desktop and offscreen.
//
// Threads: mpv calls the render context's update callback on its own threads; the callback
// only posts one queued call to the UI thread (an atomic flag keeps it to one at a time).
// Every mpv_render_* call and everything else here runs on the UI thread.
#pragma once
#include <QImage>

class QWidget;

namespace kv::playback {

class MpvCore;

enum class MovieRender { Auto, Software, OpenGL };

class MovieView {
  public:
    virtual ~MovieView() = default;
    virtual QWidget* Widget() = 0;
    // Frames libmpv has drawn so far.
    virtual int FramesDrawn() const = 0;
    // The last frame drawn (the software renderer only; empty with OpenGL).
    virtual QImage LastFrame() const = 0;
    virtual bool UsesOpenGL() const = 0;
};

// True when an OpenGL context can be made on this platform (never offscreen).
bool OpenGLAvailable();

// A view drawing `core`'s pictures. The core's mpv instance may not exist yet (libmpv is loaded
// on the first media file); the render context is made as soon as it does. The view's widget
// belongs to `parent`.
MovieView* CreateMovieView(MpvCore& core, QWidget* parent, MovieRender render = MovieRender::Auto);

} // namespace kv::playback
