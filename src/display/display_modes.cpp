#include "display/display_modes.h"

#include "platform/twips.h"

namespace kv::display {

using platform::TwipsToPixels;

RowsBelowDisplay RowsBelow(int panelBackTop, int panelBackHeight, int progHeight, int scaleHeight) {
    RowsBelowDisplay r;
    r.progTop = panelBackTop + panelBackHeight;
    r.paneTop = r.progTop + progHeight;
    r.paneHeight = scaleHeight - r.paneTop;
    r.separatorHeight = r.paneHeight + kSeparatorOverlength;
    return r;
}

bool StealthCanHide(QStringView platformName) {
    return !platformName.startsWith(u"wayland");
}

StealthAction StealthDecision(QPoint pointer, int windowWidthPx, int windowHeightTwips) {
    const int widthLine = windowWidthPx + kRightMarginPx;
    int heightLine = TwipsToPixels(kStealthCompactHeight) + kBelowMarginPx;
    if (windowHeightTwips > kStealthTallThreshold)
        heightLine = TwipsToPixels(windowHeightTwips) + kBelowMarginPx;
    if (pointer.x() < widthLine && pointer.y() < kTriggerLinePx) return StealthAction::PopOut;
    if (pointer.x() > widthLine || pointer.y() > heightLine) return StealthAction::Hide;
    return StealthAction::None;
}

void DisplayModes::ToggleShutter() {
    if (stealthActive_) return;
    if (!shutterClosed_) {
        host_.SetShutterMarks(false);
        host_.ShowDisplayItems(false);
        savedDisplayHeight_ = host_.PanelBackHeight();
        host_.SetPanelBackHeight(kCollapsedDisplayHeight);
        shutterClosed_ = true;
        // Nothing of the panel is seen any more: let it come to rest and its timer stop.
        host_.StopPanelView();
    } else {
        host_.SetShutterMarks(true);
        host_.SetPanelBackHeight(savedDisplayHeight_);
        host_.ShowDisplayItems(true);
        shutterClosed_ = false;
        if (host_.DecoderPlaying())
            host_.StartPanelView();
        else
            host_.StopPanelView();
    }
}

void DisplayModes::ToggleStealth() {
    if (stealthActive_)
        LeaveStealth();
    else
        EnterStealth();
}

void DisplayModes::EnterStealth() {
    const bool maximized = host_.IsMaximized();
    // Read before leaving the maximised state: the window manager gives the normal size back
    // in its own time, and until then the window still has the screen's.
    const TwipBox normal = host_.NormalWindowBox();
    if (maximized) host_.ShowNormal();
    host_.StopPanelView();
    host_.SaveNormalGeometry(normal, maximized);
    // On before the strip is placed, so the window does not take the strip for its normal box.
    stealthActive_ = true;
    host_.SetStealthControls(true);
    host_.SetWindowBox({kStealthParkTop, kStealthParkLeft, kStealthCompactHeight, host_.StealthWidth()});
    host_.SetTopmost(true);
    host_.Relayout();
}

void DisplayModes::LeaveStealth() {
    stealthActive_ = false;
    host_.SetStealthControls(false);
    host_.SetWindowBox(host_.SavedGeometry());
    host_.Relayout();
    host_.SetTopmost(false);
    shown_ = false;
    if (host_.SavedMaximized()) host_.ShowMaximized();
    if (host_.DecoderPlaying()) host_.StartPanelView();
}

void DisplayModes::StealthTick() {
    if (!stealthActive_) return;
    if (!hidingAllowed_) {
        if (!host_.WindowShown()) host_.ShowWindow(true);
        return;
    }
    const TwipBox box = host_.WindowBox();
    switch (StealthDecision(host_.PointerPos(), TwipsToPixels(box.width), box.height)) {
    case StealthAction::PopOut:
        // Parked again once per pop-out: a pointer resting on the edge changes nothing, and the
        // top read back in whole pixels never equals the parking twips anyway.
        if (!shown_ && box.top != kStealthParkTop)
            host_.SetWindowBox({kStealthParkTop, box.left, box.height, box.width});
        if (!host_.WindowShown()) host_.ShowWindow(true);
        if (!shown_) host_.RefreshWindow();
        shown_ = true;
        break;
    case StealthAction::Hide:
        if (host_.WindowShown()) host_.ShowWindow(false);
        if (shown_) {
            host_.SetWindowBox({box.top, box.left, kStealthCompactHeight, host_.StealthWidth()});
            shown_ = false;
        }
        break;
    case StealthAction::None:
        break;
    }
}

void DisplayModes::ToggleStealthHeight() {
    TwipBox box = host_.WindowBox();
    box.height = box.height < kStealthExpandSwitch ? host_.StealthHeight() : kStealthCompactHeight;
    host_.SetWindowBox(box);
    host_.FocusPlayingView();
}

} // namespace kv::display
