// The media windows `W` and `Y` as the player holds them: created on first use, shown while a
// video plays, unloaded when the program closes. UI thread only.
#pragma once
#include "playback/media_window.h"
#include "shell/program_state.h"

#include <QPointer>

namespace kv::shell {

struct MainControls;
class MainPlayer;

class MediaWindows final : public playback::MediaWindowHost {
  public:
    MediaWindows(MainPlayer& player, ProgramState& state, MainControls& controls, QWidget& owner)
        : player_(player), state_(state), c_(controls), owner_(owner) {}
    ~MediaWindows() override;

    playback::MediaWindow* W() const { return w_window_; }
    playback::MediaWindow* Y() const { return y_window_; }
    playback::MediaWindow* LoadW();
    playback::MediaWindow* LoadY();
    // Track-loaded preparation: the window of a file with a picture shows, the other hides.
    void Prepare(bool decoderFile);
    void Unload();

    playback::MoviePlacement Placement() const override;
    void SetPlacement(const playback::MoviePlacement& placement) override;
    void PlayPause() override;
    void StopPlayback() override;
    void ShowPlayPositionMenu(const QPoint& globalPos) override;
    void ClickToolBarBack(int button) override;
    bool Closing() const override;
    QWidget* Owner() const override;

  private:
    playback::MediaWindow* Load(const QString& name, QPointer<playback::MediaWindow>& slot, bool real);
    // Shows `show`'s window for a file with a picture and hides the other.
    void ShowFor(playback::MediaWindow* show, playback::MediaWindow* other);

    MainPlayer& player_;
    ProgramState& state_;
    MainControls& c_;
    QWidget& owner_;
    QPointer<playback::MediaWindow> w_window_;
    QPointer<playback::MediaWindow> y_window_;
};

} // namespace kv::shell
