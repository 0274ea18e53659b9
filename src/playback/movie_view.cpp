// Threads: see movie_view.h. mpv calls RenderLink::Wakeup() on its own threads; everything else
// runs on the UI thread.
#include "playback/movie_view.h"

#include "playback/mpv_backend.h"
#include "playback/mpv_library.h"

#include <mpv/render_gl.h>

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLWidget>
#include <QPainter>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <functional>

namespace kv::playback {
namespace {

// The tie between an mpv instance and one render context. The context is made when both the
// instance and the view are ready, and freed before either goes away (mpv requires the context
// to go first).
class RenderLink final : public QObject {
  public:
    using Create = std::function<mpv_render_context*(mpv_handle*)>;
    // `withContext` runs a step with the view's drawing context current (OpenGL needs it).
    RenderLink(MpvCore& core, Create create, std::function<void()> frameReady,
               std::function<void(const std::function<void()>&)> withContext)
        : core_(&core), create_(std::move(create)), frameReady_(std::move(frameReady)),
          withContext_(std::move(withContext)) {
        core.onCreated = [this] { Make(); };
        core.onDestroying = [this] {
            Free();
            core_ = nullptr;
        };
    }
    ~RenderLink() override {
        Free();
        if (core_) {
            core_->onCreated = nullptr;
            core_->onDestroying = nullptr;
        }
    }

    mpv_render_context* Context() const { return context_; }

    void Make() {
        if (context_ || !core_ || !core_->Handle() || !ready_) return;
        withContext_([this] { context_ = create_(core_->Handle()); });
        if (!context_) return;
        Mpv()->render_set_update_callback(context_, &RenderLink::Wakeup, this);
        core_->SetVideoEnabled(true);
    }
    // The view can draw from now on (an OpenGL view once its context exists).
    void SetReady() {
        ready_ = true;
        Make();
    }
    void Free() {
        if (!context_) return;
        if (core_) core_->SetVideoEnabled(false);
        mpv_render_context* context = context_;
        context_ = nullptr;
        withContext_([context] {
            Mpv()->render_set_update_callback(context, nullptr, nullptr);
            Mpv()->render_free(context);
        });
    }

  private:
    static void Wakeup(void* self) {
        auto* link = static_cast<RenderLink*>(self);
        if (link->posted_.exchange(true)) return;
        QMetaObject::invokeMethod(
            link,
            [link] {
                link->posted_.store(false);
                if (link->context_ && (Mpv()->render_update(link->context_) & MPV_RENDER_UPDATE_FRAME))
                    link->frameReady_();
            },
            Qt::QueuedConnection);
    }

    MpvCore* core_;
    Create create_;
    std::function<void()> frameReady_;
    std::function<void(const std::function<void()>&)> withContext_;
    mpv_render_context* context_ = nullptr;
    bool ready_ = false;
    std::atomic<bool> posted_{false};
};

mpv_render_context* CreateContext(mpv_handle* mpv, const char* api, void* extra = nullptr,
                                  mpv_render_param_type extraType = MPV_RENDER_PARAM_INVALID) {
    mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(api)},
                                 {extraType, extra},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context* context = nullptr;
    if (Mpv()->render_create(&context, mpv, params) < 0) return nullptr;
    return context;
}

// mpv's software renderer into an image the size of the widget.
class SoftwareMovieView final : public QWidget, public MovieView {
  public:
    SoftwareMovieView(MpvCore& core, QWidget* parent)
        : QWidget(parent),
          link_(
              core, [](mpv_handle* mpv) { return CreateContext(mpv, MPV_RENDER_API_TYPE_SW); },
              [this] { Render(); }, [](const std::function<void()>& step) { step(); }) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        link_.SetReady();
    }

    QWidget* Widget() override { return this; }
    int FramesDrawn() const override { return frames_; }
    QImage LastFrame() const override { return image_; }
    bool UsesOpenGL() const override { return false; }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
        if (!image_.isNull()) painter.drawImage(0, 0, image_);
    }
    // A paused picture is drawn again at the new size; mpv only reports new frames.
    void resizeEvent(QResizeEvent*) override {
        if (frames_ > 0) Render();
    }

  private:
    void Render() {
        if (!link_.Context() || width() <= 0 || height() <= 0) return;
        if (image_.size() != size()) image_ = QImage(size(), QImage::Format_RGB32);
        int pixels[2] = {image_.width(), image_.height()};
        // Format_RGB32 is B, G, R, X in memory on the little-endian machines this runs on.
        char format[] = "bgr0";
        size_t stride = size_t(image_.bytesPerLine());
        mpv_render_param params[] = {{MPV_RENDER_PARAM_SW_SIZE, pixels},
                                     {MPV_RENDER_PARAM_SW_FORMAT, format},
                                     {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                                     {MPV_RENDER_PARAM_SW_POINTER, image_.bits()},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        if (Mpv()->render(link_.Context(), params) < 0) return;
        ++frames_;
        update();
    }

    QImage image_;
    int frames_ = 0;
    RenderLink link_;
};

void* GetProcAddress(void*, const char* name) {
    QOpenGLContext* context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void*>(context->getProcAddress(name)) : nullptr;
}

// mpv's OpenGL renderer into the widget's framebuffer.
class OpenGLMovieView final : public QOpenGLWidget, public MovieView {
  public:
    OpenGLMovieView(MpvCore& core, QWidget* parent)
        : QOpenGLWidget(parent), link_(
                                     core,
                                     [](mpv_handle* mpv) {
                                         mpv_opengl_init_params init{&GetProcAddress, nullptr};
                                         return CreateContext(mpv, MPV_RENDER_API_TYPE_OPENGL, &init,
                                                              MPV_RENDER_PARAM_OPENGL_INIT_PARAMS);
                                     },
                                     [this] { update(); },
                                     [this](const std::function<void()>& step) {
                                         // Before the first show there is no GL context; nothing was made in
                                         // it then.
                                         if (!context()) return step();
                                         makeCurrent();
                                         step();
                                         doneCurrent();
                                     }) {}
    ~OpenGLMovieView() override {
        makeCurrent();
        link_.Free();
        doneCurrent();
    }

    QWidget* Widget() override { return this; }
    int FramesDrawn() const override { return frames_; }
    QImage LastFrame() const override { return {}; }
    bool UsesOpenGL() const override { return true; }

  protected:
    void initializeGL() override {
        if (QOpenGLContext* gl = context())
            connect(
                gl, &QOpenGLContext::aboutToBeDestroyed, this, [this] { link_.Free(); },
                Qt::DirectConnection);
        link_.SetReady();
    }
    void paintGL() override {
        if (!link_.Context()) {
            QOpenGLContext::currentContext()->functions()->glClearColor(0, 0, 0, 1);
            QOpenGLContext::currentContext()->functions()->glClear(0x4000); // GL_COLOR_BUFFER_BIT
            return;
        }
        const qreal ratio = devicePixelRatioF();
        mpv_opengl_fbo fbo{int(defaultFramebufferObject()), int(width() * ratio), int(height() * ratio), 0};
        int flipY = 1;
        mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
                                     {MPV_RENDER_PARAM_FLIP_Y, &flipY},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
        if (Mpv()->render(link_.Context(), params) >= 0) ++frames_;
    }

  private:
    int frames_ = 0;
    RenderLink link_;
};

} // namespace

bool OpenGLAvailable() {
    static const bool available = [] {
        const QString platform = QGuiApplication::platformName();
        if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return false;
        QOpenGLContext context;
        if (!context.create()) return false;
        QOffscreenSurface surface;
        surface.setFormat(context.format());
        surface.create();
        const bool current = context.makeCurrent(&surface);
        if (current) context.doneCurrent();
        return current;
    }();
    return available;
}

MovieView* CreateMovieView(MpvCore& core, QWidget* parent, MovieRender render) {
    const bool gl = render == MovieRender::OpenGL || (render == MovieRender::Auto && OpenGLAvailable());
    if (gl) return new OpenGLMovieView(core, parent);
    return new SoftwareMovieView(core, parent);
}

} // namespace kv::playback
