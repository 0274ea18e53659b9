// What the player device and play control reach in the main window. The main window
// implements it; tests use a recording fake. Every call comes on the UI thread.
#pragma once

namespace kv::playback {

class PlayerHost {
public:
    virtual ~PlayerHost() = default;
    virtual void EnableToolbarButton(int index, bool enabled) { (void)index, (void)enabled; } // 2 pause, 3 stop
    virtual void SetPositionBar(double seconds) { (void)seconds; }
    virtual void StartVisualizer() {}
    virtual void StopVisualizer() {}
    virtual void SetTimer1Enabled(bool on) { (void)on; }
    virtual void SetTimer3Enabled(bool on) { (void)on; }
    virtual void SetBusyCursor(bool busy) { (void)busy; }
    // Window `W` is created, hidden, when the device is given its first file.
    virtual void LoadMediaWindow() {}
    // Play control's track-loaded routine; the device runs it once the file is open.
    virtual void OnTrackLoaded() {}
    // A file given to the Media Player control could not be opened: it never becomes ready.
    virtual void OnTrackFailed() {}
    // Media windows: `W` shows video, `Y` the RealMedia player. Called with show/hide.
    virtual void ShowMediaWindow(bool show) { (void)show; }
    virtual void ShowRealWindow(bool show) { (void)show; }
};

} // namespace kv::playback
