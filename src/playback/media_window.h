// The media windows `W` (Media Player control) and `Y` (RealPlayer control): the picture of a
// video, a position bar and a volume bar. They are shown only while a file with a picture plays;
// for sound alone they stay hidden. UI thread only.
#pragma once
#include "display/progress_bar.h"
#include "playback/movie_view.h"

#include <QString>
#include <QWidget>

namespace kv::playback {

class MediaBackend;

// Size and place of a media window, twips; state 0 normal, 1 minimised, 2 maximised. Both
// windows share one, stored with the settings.
struct MoviePlacement {
    int height = 0;
    int width = 0;
    int left = 0;
    int top = 0;
    int state = 0;
    bool placed = true; // false: no place of its own yet, it appears beside the main window
};

// What a media window reaches in the main window.
class MediaWindowHost {
  public:
    virtual ~MediaWindowHost() = default;
    virtual MoviePlacement Placement() const = 0;
    virtual void SetPlacement(const MoviePlacement& placement) = 0;
    virtual void PlayPause() {}    // like the main play command
    virtual void StopPlayback() {} // the close box
    virtual void ShowPlayPositionMenu(const QPoint& globalPos) { (void)globalPos; } // IDMPlayPosition
    virtual void ClickToolBarBack(int button) { (void)button; }                     // 4 previous, 5 next
    virtual void ChangeVolumeBar(int delta) { (void)delta; }
    virtual bool Closing() const { return false; }
    virtual QWidget* Owner() const { return nullptr; } // the main window, which it first appears beside
};

// Twips of the three controls for a client area of the given size.
struct MediaWindowLayout {
    QRect volume, media, progPic;
};
MediaWindowLayout ArrangeMediaWindow(int scaleWidth, int scaleHeight);

// "【movie】 " and the file name without its folder.
QString MovieCaption(const QString& path);

class MediaWindow final : public QWidget {
    Q_OBJECT
  public:
    // `name` is "W" or "Y". The bars draw through `bars` like the main window's.
    MediaWindow(const QString& name, MediaBackend& control, MediaWindowHost& host,
                display::ProgressBarHost& bars, MovieRender render = MovieRender::Auto);
    ~MediaWindow() override;

    // W_Show / Y_Show and W_Hide / Y_Hide.
    void ShowWindow();
    void HideWindow();
    void SetCaptionFile(const QString& path) { setWindowTitle(MovieCaption(path)); }

    display::CProgressBar& ProgBar() { return progBar_; }
    display::CProgressBar& VolumeBar() { return volumeBar_; }
    // The picture is made on the first show, so a session that never plays a video never makes
    // a drawing context.
    MovieView* EnsureMovie();
    MovieView* Movie() const { return movie_; }
    QWidget* ProgPic() const { return progPic_; }
    QWidget* Volume() const { return volume_; }
    // A left click on the picture (as the mouse gives it); tests call it directly.
    void PictureClicked();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool AltKey(int key);
    QWidget* Picture() const;
    void Arrange();

    MediaBackend& control_;
    MovieRender render_;
    MediaWindowHost& host_;
    display::CProgressBar progBar_;
    display::CProgressBar volumeBar_;
    QWidget* progPic_ = nullptr;
    QWidget* volume_ = nullptr;
    MovieView* movie_ = nullptr;
    QWidget* blank_ = nullptr; // stands in for the picture until it is made, or without libmpv
};

} // namespace kv::playback
