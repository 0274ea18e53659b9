// The main window's side of the visualizer, the LCD shutter and stealth mode.
#pragma once
#include "display/display_modes.h"

#include <QPoint>
#include <functional>

namespace kv::shell {

class FormMain;

class DisplayGlue : public display::DisplayModesHost {
  public:
    explicit DisplayGlue(FormMain& window) : w_(window) {}

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

    std::function<QPoint()> pointer;

  private:
    FormMain& w_;
};

} // namespace kv::shell
