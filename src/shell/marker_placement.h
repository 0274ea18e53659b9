// The start and end markers under the position bar, in the bar's twips, as the window lays them
// out: the marks' arithmetic moves them, the window's layout applies them.
#pragma once
#include "playback/positions.h"
#include "shell/layout.h"

#include <functional>

namespace kv::shell {

class MarkerPlacement final : public playback::MarkerHost {
  public:
    MarkerPlacement(MainLayout& layout, std::function<void()> apply) : l_(layout), apply_(std::move(apply)) {}

    const MarkerPositions& Shown() const { return shown_; } // what StartPos and EndPos show

    playback::MarkerLayout Markers() const override {
        playback::MarkerLayout m;
        m.startLeft = l_.startPos.left;
        m.endLeft = l_.endPos.left;
        m.startWidth = l_.startPos.width;
        m.endWidth = l_.endPos.width;
        m.scaleWidth = l_.progPicture.width;
        m.startCaption = l_.startPosCaption;
        m.start = shown_.start;
        m.end = shown_.end;
        m.duration = shown_.duration;
        return m;
    }

    void SetMarkers(const playback::MarkerLayout& m) override {
        l_.startPos.left = m.startLeft;
        l_.endPos.left = m.endLeft;
        l_.startPosCaption = m.startCaption;
        shown_ = {m.duration > 0, m.duration, m.start, m.end};
        apply_();
    }

    int BarWidth() const override { return l_.progPicture.width; }

  private:
    MainLayout& l_;
    std::function<void()> apply_;
    MarkerPositions shown_;
};

} // namespace kv::shell
