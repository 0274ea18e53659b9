// The two ways of making the main window smaller: the LCD shutter, which collapses the display
// row and gives its room to the lists, and stealth mode, a small always-on-top strip parked at
// the top-left corner that pops out when the pointer touches the top edge there. The sequencing
// and arithmetic live here; the window does what the host calls ask. UI thread only.
#pragma once
#include <QPoint>
#include <QStringView>

namespace kv::display {

// Twips, except where a name says pixels.
inline constexpr int kStealthCompactHeight = 1925;
inline constexpr int kStealthTallThreshold = 2200; // above it the hide line follows the window
inline constexpr int kStealthExpandSwitch = 2500;
inline constexpr int kStealthParkTop = -380;
inline constexpr int kStealthParkLeft = -30;
inline constexpr int kCollapsedDisplayHeight = 400;
inline constexpr int kFirstInfoLabelTop = 50;
inline constexpr int kSeparatorOverlength = 3000;
inline constexpr int kTriggerLinePx = 3;
inline constexpr int kRightMarginPx = 30;
inline constexpr int kBelowMarginPx = 50;
inline constexpr int kStealthMinWidth = 4100;

struct TwipBox {
    int top = 0;
    int left = 0;
    int height = 0;
    int width = 0;
    bool operator==(const TwipBox&) const = default;
};

// Where the rows under the display go once the display row has the given height.
struct RowsBelowDisplay {
    int progTop = 0;
    int paneTop = 0;
    int paneHeight = 0;
    int separatorHeight = 0;
};
RowsBelowDisplay RowsBelow(int panelBackTop, int panelBackHeight, int progHeight, int scaleHeight);

// Whether the window system lets stealth mode hide the window: it must place it and report the
// pointer while it is hidden, which Wayland does for no client.
bool StealthCanHide(QStringView platformName);

enum class StealthAction { None, PopOut, Hide };
// One Timer2 decision from the pointer (screen pixels) and the window's size.
StealthAction StealthDecision(QPoint pointer, int windowWidthPx, int windowHeightTwips);

// What the modes ask of the main window.
class DisplayModesHost {
  public:
    virtual ~DisplayModesHost() = default;
    // The window's normal-state geometry and state.
    virtual bool IsMaximized() const = 0;
    virtual bool IsMinimized() const = 0;
    virtual void ShowNormal() = 0;
    virtual void ShowMaximized() = 0;
    virtual TwipBox WindowBox() const = 0;
    // The box of the normal state, also while maximised: the last one the window had there.
    virtual TwipBox NormalWindowBox() const = 0;
    virtual void SetWindowBox(const TwipBox& box) = 0;
    // Always on top or not; either way the window is shown.
    virtual void SetTopmost(bool on) = 0;
    virtual void ShowWindow(bool shown) = 0;
    virtual bool WindowShown() const = 0;
    virtual QPoint PointerPos() const = 0;
    // Stored on entering stealth mode, restored on leaving it (WindowGeometry of the settings).
    virtual void SaveNormalGeometry(const TwipBox& box, bool maximized) = 0;
    virtual bool SavedMaximized() const = 0;
    virtual TwipBox SavedGeometry() const = 0;
    virtual int StealthWidth() const = 0;  // "StelsWidth"
    virtual int StealthHeight() const = 0; // "StelsHeight"

    // Stealth mode's controls: toolbar button 9 pressed, the buttons, menus and display items
    // that the strip does without, SList, Timer2 and the tick of IDMStels.
    virtual void SetStealthControls(bool stealth) = 0;
    // LayoutMainWindow of the current mode, and ArrangePanes when the tree is shown in normal mode.
    virtual void Relayout() = 0;
    virtual void RefreshWindow() = 0; // first pop-out since the last hide
    virtual void FocusPlayingView() = 0;

    // The shutter's controls: button 7 and the tick of IDMshutter, and the display items.
    virtual void SetShutterMarks(bool open) = 0;
    virtual void ShowDisplayItems(bool shown) = 0; // PPanel, the timer labels, LabelTitle, LabelInfo
    virtual int PanelBackHeight() const = 0;
    // Gives the display row this height and moves everything below it.
    virtual void SetPanelBackHeight(int height) = 0;

    virtual void StartPanelView() = 0;
    virtual void StopPanelView() = 0;
    // A track of the decoder library is playing.
    virtual bool DecoderPlaying() const = 0;
};

class DisplayModes {
  public:
    // The two flags belong to the program's state, which saves the shutter's.
    DisplayModes(DisplayModesHost& host, bool& shutterClosed, bool& stealthActive)
        : host_(host), shutterClosed_(shutterClosed), stealthActive_(stealthActive) {}

    bool ShutterClosed() const { return shutterClosed_; }
    bool StealthActive() const { return stealthActive_; }

    void ToggleShutter();
    void ToggleStealth();
    void StealthTick();
    void ToggleStealthHeight();
    // Off where the window system neither parks the window nor tells where the pointer is once
    // the window is hidden (Wayland): the strip then stays in sight, never hidden by the timer.
    void AllowHiding(bool allowed) { hidingAllowed_ = allowed; }
    bool Shown() const { return shown_; }
    int SavedDisplayHeight() const { return savedDisplayHeight_; }

  private:
    void EnterStealth();
    void LeaveStealth();

    DisplayModesHost& host_;
    bool& shutterClosed_;
    bool& stealthActive_;
    bool shown_ = false;
    bool hidingAllowed_ = true;
    int savedDisplayHeight_ = 0;
};

} // namespace kv::display
