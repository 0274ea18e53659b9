// The display row of the main window: the visualizer panel, the information labels, the display
// colours, the LCD shutter and stealth mode. The arithmetic is in display/; this part moves the
// widgets it names. UI thread only.
#pragma once
#include "display/display_modes.h"
#include "shell/layout.h"
#include "shell/program_state.h"

#include <QObject>
#include <QPoint>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>

class QMainWindow;

namespace kv::display {
class CPanelView;
}

namespace kv::shell {

struct MainControls;
class MainPlayer;
class MainLists;
class MainTools;

// What the display asks of the window's layout and geometry, which the window keeps.
struct DisplayLayoutHooks {
    std::function<display::TwipBox()> normalWindowBox;
    std::function<void()> relayout; // the resize layout, and the panes when they show
    std::function<int()> panelBackHeight;
    std::function<void(int)> setPanelBackHeight;
};

class MainDisplay final : public QObject, public display::DisplayModesHost {
    Q_OBJECT
  public:
    MainDisplay(MainControls& controls, ProgramState& state, QMainWindow& window);
    ~MainDisplay() override;
    void Connect(MainPlayer& player, MainLists& lists, MainTools& tools, DisplayLayoutHooks layout);

    display::CPanelView& PanelView() const { return *panelView_; }
    // The visualizer draws on PPanel with Timer3's frames.
    void AttachPanelView();
    void StartVisualizer();
    void StopVisualizer();

    // Display colour i (0 picks one at random) on the labels, the panel and the bars; the menu's
    // check follows CheckForeColor.
    void ApplyPanelColor(int index);
    void CheckForeColor(int index);
    void RandomColourIfChecked(); // each track gets a new colour while the random colour is chosen
    void SetBarType(int type);

    void ShowInfoLabels(const std::array<QString, 4>& texts);
    // The LCD panel's text as a screen reader reads it: the four information texts and the time.
    QString PanelText() const;
    void MakePanelReadable();

    void ToggleShutter();
    void ToggleStealth();
    void StealthTick();
    void ToggleStealthHeight();
    // Where Timer2 reads the pointer (screen pixels); tests give their own.
    void SetPointerSource(std::function<QPoint()> source) { pointer_ = std::move(source); }

    // The panel and its labels in the display row, and the compact strip of stealth mode.
    void PlaceDisplayRow(const TwipRect& row);
    void LayoutStealth(const MainLayout& layout);

    // DisplayModesHost
    bool IsMaximized() const override;
    bool IsMinimized() const override;
    void ShowNormal() override;
    void ShowMaximized() override;
    display::TwipBox WindowBox() const override;
    display::TwipBox NormalWindowBox() const override;
    void SetWindowBox(const display::TwipBox& box) override;
    void SetTopmost(bool on) override;
    void ShowWindow(bool shown) override;
    bool WindowShown() const override;
    QPoint PointerPos() const override;
    void SaveNormalGeometry(const display::TwipBox& box, bool maximized) override;
    bool SavedMaximized() const override;
    display::TwipBox SavedGeometry() const override;
    int StealthWidth() const override;
    int StealthHeight() const override;
    void SetStealthControls(bool stealth) override;
    void Relayout() override;
    void RefreshWindow() override;
    void FocusPlayingView() override;
    void SetShutterMarks(bool open) override;
    void ShowDisplayItems(bool shown) override;
    int PanelBackHeight() const override;
    void SetPanelBackHeight(int height) override;
    void StartPanelView() override;
    void StopPanelView() override;
    bool DecoderPlaying() const override;

  signals:
    // The LCD panel told a screen reader of a new track, once per track (tests watch it: Qt sends
    // accessibility events only while a reader listens).
    void TrackAnnounced();

  private:
    void SyncBackGndLabel();
    void AnnounceTrack();
    QWidget* PlayingView() const;

    MainControls& c_;
    ProgramState& state_;
    QMainWindow& window_;
    MainPlayer* player_ = nullptr;
    MainLists* lists_ = nullptr;
    MainTools* tools_ = nullptr;
    DisplayLayoutHooks layout_;
    std::unique_ptr<display::CPanelView> panelView_;
    std::unique_ptr<display::DisplayModes> modes_;
    std::function<QPoint()> pointer_;
    QString announcedTrack_; // the file the LCD panel last announced
};

} // namespace kv::shell
