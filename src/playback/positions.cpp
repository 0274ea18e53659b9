#include "playback/positions.h"

#include <algorithm>
#include <cmath>
#include <climits>

namespace kv::playback {

int MarkerLeft(double t, double d, int barWidth, int offset) {
    if (!(d > 0)) return -offset;
    const double x = std::nearbyint(t / d * barWidth - offset);
    return int(std::clamp(x, double(INT_MIN / 2), double(INT_MAX / 2)));
}

void CorrectMarkers(MarkerLayout& m) {
    if (m.startLeft < 0) m.startLeft = 0;
    if (m.endLeft + m.endWidth > m.scaleWidth) m.endLeft = m.scaleWidth - m.endWidth;
    m.startCaption = m.endLeft - m.startLeft < m.startWidth ? kStartCaptionShort : kStartCaption;
}

bool PlaceStartMark(MarkerLayout& m, double t, double d, int barWidth) {
    const int x = MarkerLeft(t, d, barWidth, 300);
    if (m.endLeft < x) return false;
    m.startLeft = x + 200;
    m.start = t;
    m.duration = d;
    CorrectMarkers(m);
    return true;
}

bool PlaceEndMark(MarkerLayout& m, double t, double d, int barWidth) {
    const int x = MarkerLeft(t, d, barWidth, 100);
    if (m.startLeft > x) return false;
    m.endLeft = x;
    m.end = t;
    m.duration = d;
    CorrectMarkers(m);
    return true;
}

void PlaceDiscarded(MarkerLayout& m, int barWidth) {
    m.startLeft = 0;
    m.endLeft = barWidth - 400;
    m.start = 0;
    m.end = m.duration;
    CorrectMarkers(m);
}

void PlaceApplied(MarkerLayout& m, double start, double end, double d, int barWidth) {
    m.startLeft = MarkerLeft(start, d, barWidth, 100);
    m.endLeft = MarkerLeft(end, d, barWidth, 100);
    m.start = start;
    m.end = end;
    m.duration = d;
    CorrectMarkers(m);
}

QString PositionText(double seconds) { return QString::number(seconds, 'g', 15); }

std::optional<double> ParsePosition(const QString& text) {
    if (text.trimmed().isEmpty()) return std::nullopt;
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < 0) return std::nullopt;
    return v;
}

void ApplyStoredMarks(CSoundPlay& device, const std::pair<QString, QString>& marks) {
    const double duration = device.Duration();
    device.SetSelectionStart(0);
    device.SetSelectionEnd(duration);
    if (device.FileName().isEmpty()) return;
    // A damaged volume memory may hold any number; a seek far past the end helps nobody.
    auto within = [&](double v) { return duration > 0 ? std::min(v, duration) : v; };
    if (auto start = ParsePosition(marks.first)) device.SetSelectionStart(within(*start));
    if (auto end = ParsePosition(marks.second)) device.SetSelectionEnd(within(*end), true);
}

StartEndPositions::StartEndPositions(CSoundPlay& device, display::VolumeMemory& listVol, MarkerHost& host)
    : device_(device), listVol_(listVol), host_(host) {}

std::pair<QString, QString> StartEndPositions::StoredMarks(const QString& path) const {
    const int index = listVol_.Find(path);
    if (index < 0 || path.isEmpty()) return {};
    return {listVol_.SubItem(index, 2), listVol_.SubItem(index, 3)};
}

void StartEndPositions::StoreMark(int subItem, double t) {
    const QString name = device_.FileName();
    int index = listVol_.Find(name);
    if (index < 0) {
        if (name.isEmpty()) return;
        index = listVol_.Add(name);
    }
    listVol_.SetSubItem(index, subItem, PositionText(t));
}

// The device's SelectionStart/SelectionEnd are left alone: a new mark takes effect from the
// track's next start (ApplyPositions after the next load or stop).
void StartEndPositions::SetStartPosition() {
    const double d = device_.Duration();
    if (!(d > 0)) return; // no track: the markers stay where they are
    const double t = device_.CurrentPosition();
    MarkerLayout m = host_.Markers();
    if (!PlaceStartMark(m, t, d, host_.BarWidth())) return;
    host_.SetMarkers(m);
    StoreMark(2, t);
}

void StartEndPositions::SetEndPosition() {
    const double d = device_.Duration();
    if (!(d > 0)) return;
    const double t = device_.CurrentPosition();
    MarkerLayout m = host_.Markers();
    if (!PlaceEndMark(m, t, d, host_.BarWidth())) return;
    host_.SetMarkers(m);
    StoreMark(3, t);
}

void StartEndPositions::DiscardPositions() {
    MarkerLayout m = host_.Markers();
    PlaceDiscarded(m, host_.BarWidth());
    host_.SetMarkers(m);
    device_.SetSelectionStart(0);
    device_.SetSelectionEnd(device_.Duration());
    const int index = listVol_.Find(device_.FileName());
    if (index >= 0 && !device_.FileName().isEmpty()) {
        listVol_.SetSubItem(index, 2, QString());
        listVol_.SetSubItem(index, 3, QString());
    }
}

void StartEndPositions::ApplyPositions() {
    ApplyStoredMarks(device_, StoredMarks(device_.FileName()));
    PlaceMarkers(device_.SelectionStart(), device_.SelectionEnd(), device_.Duration());
}

void StartEndPositions::PlaceMarkers(double start, double end, double duration) {
    if (!(duration > 0)) return;
    MarkerLayout m = host_.Markers();
    PlaceApplied(m, start, end, duration, host_.BarWidth());
    host_.SetMarkers(m);
}

} // namespace kv::playback
