// CPanelView: the "液晶" visualizer. PanelFrames is the frame arithmetic (levels, peaks and
// their fall, the rest test, the geometry of what one frame draws) as plain code; CPanelView
// draws a frame into an image the size of the panel and shows it. UI thread only.
#pragma once
#include <QImage>
#include <QObject>
#include <QPainter>
#include <QPointer>
#include <QRgb>

#include <array>
#include <cstdint>
#include <functional>

#include <QTimer>
#include <QWidget>

namespace kv::display {

inline constexpr int kBarTypeCount = 5; // menu items IDMPanelBar 1..5
inline constexpr int kDefaultBarType = 2;

// Entry i = sin(i × 1.57 / 100) × 100, halves to even: an amplitude 0..100 to a level with a soft top.
const std::array<int, 101>& SineTable();

// One stroke of a frame: a line from (x1, y1) to (x2, y2) or, for the dots, the pixel (x1, y1);
// `shade` indexes ShadeTable.
struct PanelStroke {
    int x1, y1, x2, y2;
    uint8_t shade;
    bool pixel;
    bool operator==(const PanelStroke&) const = default;
};

class PanelFrames {
  public:
    using Values = std::array<int32_t, 256>;
    // Two strokes for each of up to 250 columns (a bar and its peak mark, or the two halves of
    // the trace's zigzag): the bar count can be set to one column per value.
    static constexpr int kMaxStrokes = 512;

    PanelFrames();

    // Sets n, s and the pen width from the bar-type table; a type outside 1..5 changes nothing.
    void SetBarType(int type);
    int BarType() const { return barType_; }
    int BarCount() const { return n_; }
    int Step() const { return s_; }
    int PenWidth() const { return penWidth_; }
    // The panel's inner size in pixels (the pen width of types 1 and 2 follows the width).
    void SetSize(int width, int height);
    int Width() const { return width_; }
    int Height() const { return height_; }
    // The debugging restart of the bar count: n columns, s = 255 \ n, pen width Width / n − 1.
    void SetBarCount(int n);

    // True when nothing is left to draw (only asked while Stopped): the timer may stop.
    bool AtRest() const;
    // One frame: moves levels and peaks from WaveL and WaveR (or toward rest when Stopped) and
    // records the strokes to draw. Returns the number of strokes.
    int Advance();
    const std::array<PanelStroke, kMaxStrokes>& Strokes() const { return buffers_[current_]; }
    int StrokeCount() const { return strokeCount_; }
    // The last frame drew exactly what the one before it drew.
    bool SameStrokesAsBefore() const;
    // The sample picture of a double click: k arches of |sin| over levels and peaks 0..250.
    void Sample(int k);

    bool Stopped = false;
    Values WaveL{}, WaveR{}, Level{}, Peak{}, PeakSpeed{}, PrevLevel{}, PrevPeak{}, PrevPeakSpeed{};

  private:
    void AdvanceBars();
    void AdvanceScope();
    void AdvanceDots();
    // Level and peak rule of the bars and the dots for column i, from amplitude m.
    int FallAndPeak(int i, int64_t m);
    void Add(int x1, int y1, int x2, int y2, int shade, bool pixel = false);

    int barType_ = 0;
    int n_ = 40;
    int s_ = 6;
    int penWidth_ = 1;
    int width_ = 0;
    int height_ = 0;
    // This frame's strokes and the last frame's, swapped by index: no copy per frame.
    std::array<std::array<PanelStroke, kMaxStrokes>, 2> buffers_{};
    int current_ = 0;
    int strokeCount_ = 0;
    int previousCount_ = -1;
    bool sameAsBefore_ = false;
};

// What the panel reaches outside itself.
struct PanelViewHooks {
    // Fills 256 values into each channel (vbmp3_getWave).
    std::function<void(int32_t*, int32_t*)> getWave;
    // Moves the tick of the bar-type menu to `type`.
    std::function<void(int)> checkBarType;
    // Whether the loaded file plays through the decoder library and is playing now.
    std::function<bool()> decoderPlaying;
    // Display panel collapsed or stealth mode on: the panel must stay idle.
    std::function<bool()> mustStayIdle;
    std::function<double()> random01;
};

class CPanelView : public QObject {
    Q_OBJECT
  public:
    explicit CPanelView(PanelViewHooks hooks, QObject* parent = nullptr);
    ~CPanelView() override;

    void SetTimerTarget(QTimer* timer);
    QTimer* TimerTarget() const { return timer_; }
    // Reads the panel's size and draws on it from then on.
    void SetPanelTarget(QWidget* panel);
    QWidget* PanelTarget() const { return panel_; }

    void SetBarType(int type);
    int BarType() const { return frames_.BarType(); }
    void SetBackColor(QRgb colour);
    QRgb BackColor() const { return backColor_; }
    void SetForeColor(QRgb colour) { foreColor_ = colour; }
    QRgb ForeColor() const { return foreColor_; }

    void DrawPanel();
    void StartPanelView();
    void StopPanelView();
    void ChangePanelWhenDblClick();
    void StartPanelView2(int n);

    PanelFrames& Frames() { return frames_; }
    const QImage& Image() const { return image_; }
    // Redraws with the shades of the current colour (after SetPanelColor).
    void ShadesChanged();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Resize(const QSize& size);
    // Redraws the strokes over `clear`, which must hold everything the image shows besides the
    // background.
    void Paint(const QRect& clear);
    void FillRows(int left, int top, int width, int height, QRgb colour);
    void BuildPens();
    QRect StrokeBounds() const; // where the current strokes lie, pen width included

    PanelViewHooks hooks_;
    PanelFrames frames_;
    QPointer<QTimer> timer_;
    QPointer<QWidget> panel_;
    QImage image_;
    QPainter painter_;           // kept active on image_: no set-up per frame
    std::array<QPen, 256> pens_; // one per shade, rebuilt when the colour or width changes
    int pensWidth_ = -1;
    bool dirty_ = true; // the image no longer shows the last strokes
    QRect lastDrawn_;   // the strokes shown now: the next frame must clear them
    QRgb backColor_ = qRgb(40, 40, 40);
    QRgb foreColor_ = qRgb(250, 250, 250);
};

} // namespace kv::display
