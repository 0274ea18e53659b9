// Start and end marks of a track: taken from the play position, kept per file in the volume
// memory (sub-items 2 and 3 of ListVol), shown by the labels StartPos and EndPos on the position
// bar, and put on the device (SelectionStart/SelectionEnd) whenever a track loads or stops.
// The marker arithmetic is plain functions over the bar's units (twips), so tests need no window.
#pragma once
#include "display/volume_memory.h"
#include "playback/sound_play.h"

#include <QString>
#include <utility>

namespace kv::playback {

inline const QString kStartCaption = QStringLiteral("▲START");
inline const QString kStartCaptionShort = QStringLiteral("▲        "); // the triangle and eight blanks

// Where the two marker labels stand, in the units of the position bar's picture.
struct MarkerLayout {
    int startLeft = 0;
    int endLeft = 0;
    int startWidth = 0; // label widths
    int endWidth = 0;
    int scaleWidth = 0; // ProgPicture's inner width
    QString startCaption = kStartCaption;
    // The marks the markers show, in seconds of a track `duration` long (0: no track), so the
    // window can place them again whenever the bar changes width.
    double start = 0;
    double end = 0;
    double duration = 0;
};

// t / d × W − offset, rounded to the nearest whole number (halves to even).
int MarkerLeft(double t, double d, int barWidth, int offset);
// Start marker not left of the bar, end marker not past its right edge, the short start caption
// when the end marker stands closer than the start label's width.
void CorrectMarkers(MarkerLayout& m);
// The steps of SetStartPosition / SetEndPosition on the markers; false when the mark would lie on
// the wrong side of the other one (nothing changes then).
bool PlaceStartMark(MarkerLayout& m, double t, double d, int barWidth);
bool PlaceEndMark(MarkerLayout& m, double t, double d, int barWidth);
void PlaceDiscarded(MarkerLayout& m, int barWidth);
void PlaceApplied(MarkerLayout& m, double start, double end, double d, int barWidth);

// A mark as the volume memory keeps it: decimal seconds, "12" or "12.5".
QString PositionText(double seconds);
// A stored mark read back: nothing when empty, not a number, not finite or negative.
std::optional<double> ParsePosition(const QString& text);

// Puts the stored marks of the device's file on the device: SelectionStart 0 and SelectionEnd the
// duration, then the marks that are set. A mark beyond the track is brought back to its end.
void ApplyStoredMarks(CSoundPlay& device, const std::pair<QString, QString>& marks);

// The marker labels as the main window has them.
class MarkerHost {
  public:
    virtual ~MarkerHost() = default;
    virtual MarkerLayout Markers() const { return {}; }
    virtual void SetMarkers(const MarkerLayout& m) { (void)m; } // moves StartPos/EndPos, sets the caption
    virtual int BarWidth() const { return 0; }                  // the position bar's width
};

class StartEndPositions {
  public:
    StartEndPositions(CSoundPlay& device, display::VolumeMemory& listVol, MarkerHost& host);

    void SetStartPosition(); // IDMPlayStartPos
    void SetEndPosition();   // IDMPlayEndPos
    void DiscardPositions(); // IDMDesartPos
    // The marks of the loaded file onto the device and the markers (after a load and every stop).
    void ApplyPositions();

    // For PlayControlHost: the stored marks of a file, and the markers placed for given marks.
    std::pair<QString, QString> StoredMarks(const QString& path) const;
    void PlaceMarkers(double start, double end, double duration);

  private:
    void StoreMark(int subItem, double t);

    CSoundPlay& device_;
    display::VolumeMemory& listVol_;
    MarkerHost& host_;
};

} // namespace kv::playback
