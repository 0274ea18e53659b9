#include "display/panel_view.h"

#include "display/panel_colors.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QRandomGenerator>
#include <QResizeEvent>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace kv::display {

namespace {
// A falling peak speeds up by 2 a frame; below this it cannot matter any more (levels never go
// under −100), and the floor keeps a long silence from overflowing the sum.
constexpr int kSpeedFloor = -1000;

int64_t Magnitude(int32_t v) {
    return v < 0 ? -int64_t(v) : int64_t(v);
}

struct BarRow {
    int n;
    int s;
};
// n and s of bar types 1..5.
constexpr BarRow kBarRows[kBarTypeCount] = {{20, 12}, {40, 6}, {18, 14}, {26, 9}, {250, 1}};
} // namespace

const std::array<int, 101>& SineTable() {
    static const std::array<int, 101> table = [] {
        std::array<int, 101> t{};
        // nearbyint rounds halves to even in the default rounding mode.
        for (int i = 0; i <= 100; ++i)
            t[size_t(i)] = int(std::nearbyint(std::sin(i * 1.57 / 100) * 100));
        return t;
    }();
    return table;
}

PanelFrames::PanelFrames() {
    SetBarType(kDefaultBarType);
}

void PanelFrames::SetBarType(int type) {
    if (type < 1 || type > kBarTypeCount) return;
    barType_ = type;
    n_ = kBarRows[type - 1].n;
    s_ = kBarRows[type - 1].s;
    switch (type) {
    case 1:
        penWidth_ = width_ / 20 - 1;
        break;
    case 2:
        penWidth_ = width_ / 40 - 1;
        break;
    case 3:
        penWidth_ = 3;
        break;
    case 4:
        penWidth_ = 1;
        break;
    default:
        break; // the dots keep the pen they had
    }
}

void PanelFrames::SetSize(int width, int height) {
    width_ = std::max(0, width);
    height_ = std::max(0, height);
    SetBarType(barType_);
}

void PanelFrames::SetBarCount(int n) {
    if (n < 1) return; // no columns: nothing to divide by
    n_ = n;
    s_ = std::max(1, 255 / n);
    penWidth_ = width_ / n - 1;
}

bool PanelFrames::AtRest() const {
    switch (barType_) {
    case 1:
    case 2:
        for (int i = 0; i <= 250; i += s_)
            if (Peak[size_t(i)] != 0) return false;
        return true;
    case 3:
    case 4:
        for (int i = 0; i <= 250; i += s_)
            if (Level[size_t(i)] != 0 || Peak[size_t(i)] != 0) return false;
        return true;
    case 5:
        // Only the columns the dots move can come to rest; the others may hold a sample for ever.
        for (int i = 1; i <= 205; ++i)
            if (Peak[size_t(i)] != 0) return false;
        return true;
    default:
        return true;
    }
}

int PanelFrames::Advance() {
    current_ ^= 1;
    previousCount_ = strokeCount_;
    strokeCount_ = 0;
    switch (barType_) {
    case 1:
    case 2:
        AdvanceBars();
        break;
    case 3:
    case 4:
        AdvanceScope();
        break;
    case 5:
        AdvanceDots();
        break;
    default:
        break;
    }
    const auto& strokes = buffers_[size_t(current_)];
    sameAsBefore_ =
        strokeCount_ == previousCount_ &&
        std::equal(strokes.begin(), strokes.begin() + strokeCount_, buffers_[size_t(current_ ^ 1)].begin());
    return strokeCount_;
}

bool PanelFrames::SameStrokesAsBefore() const {
    return sameAsBefore_;
}

void PanelFrames::Add(int x1, int y1, int x2, int y2, int shade, bool pixel) {
    if (strokeCount_ >= kMaxStrokes) return;
    // Bars below the bottom and peak marks of no height show nothing: leaving them out lets a
    // silent frame be seen to be the same as the one before.
    if (!pixel && x1 == x2 && (y1 == y2 || std::min(y1, y2) >= height_)) return;
    buffers_[size_t(current_)][size_t(strokeCount_++)] = {
        x1, y1, x2, y2, uint8_t(std::clamp(shade, 0, 255)), pixel};
}

int PanelFrames::FallAndPeak(int i, int64_t m) {
    const size_t k = size_t(i);
    PrevLevel[k] = Level[k];
    PrevPeak[k] = Peak[k];
    PrevPeakSpeed[k] = PeakSpeed[k];
    int level = Level[k]; // an amplitude outside 0..100 has no entry: the level stays
    if (Stopped)
        level = -100;
    else if (m >= 0 && m <= 100)
        level = SineTable()[size_t(m)];
    if (level < PrevLevel[k] - 12) level = PrevLevel[k] - 12;
    Level[k] = level;
    const int reach = PrevPeak[k] + PrevPeakSpeed[k];
    if (level < reach) {
        Peak[k] = reach;
        PeakSpeed[k] = std::max(PrevPeakSpeed[k] - 2, kSpeedFloor);
    } else {
        Peak[k] = level;
        PeakSpeed[k] = 3;
    }
    if (Peak[k] < 0) Peak[k] = 0;
    return level;
}

void PanelFrames::AdvanceBars() {
    const int H = height_;
    const int d = width_ * s_ / 256 + 1;
    int x = 0;
    for (int i = s_; i <= 250; i += s_) {
        int64_t m = 0;
        for (int j = i; j < i + s_ && j < 256; ++j)
            m = std::max(m, (Magnitude(WaveL[size_t(j)]) + Magnitude(WaveR[size_t(j)])) / 2);
        const int level = FallAndPeak(i, m);
        const int peak = Peak[size_t(i)];
        x += d;
        Add(x, H, x, H * (120 - level) / 120, i / 2 + 100);
        Add(x, H * (120 - peak) / 120, x, H * (110 - peak) / 110, i / 2 + 85);
    }
}

void PanelFrames::AdvanceScope() {
    const int M = height_ / 2;
    const int d = width_ * s_ / 256 + 1;
    int x = 0;
    int fromX = 0, fromY = M;
    for (int i = s_; i <= 250; i += s_) {
        const size_t k = size_t(i);
        PrevLevel[k] = Level[k];
        PrevPeak[k] = Peak[k];
        if (Stopped) {
            Level[k] = 0;
            Peak[k] = 0;
        } else {
            int64_t a = 0, b = 0;
            for (int j = i; j < i + s_ && j < 256; ++j) {
                a = std::max(a, Magnitude(WaveL[size_t(j)]));
                b = std::max(b, Magnitude(WaveR[size_t(j)]));
            }
            if (a <= 100) Level[k] = SineTable()[size_t(a)];
            if (b <= 100) Peak[k] = SineTable()[size_t(b)];
        }
        Level[k] = std::max({Level[k], PrevLevel[k] - 9, 0});
        Peak[k] = std::max({Peak[k], PrevPeak[k] - 9, 0});
        x += d;
        const int shade = i / 2 + 100;
        const int midX = x - (d - 1) / 2;
        const int lowY = M * (100 + Level[k]) / 100;
        const int highY = M * (100 - Peak[k]) / 100;
        Add(fromX, fromY, midX, lowY, shade);
        Add(midX, lowY, x, highY, shade);
        fromX = x;
        fromY = highY;
    }
}

void PanelFrames::AdvanceDots() {
    const int H = height_;
    int x = 0;
    for (int i = 1; i <= 205; ++i) {
        FallAndPeak(i, (Magnitude(WaveL[size_t(i)]) + Magnitude(WaveR[size_t(i)])) / 2);
        ++x;
        Add(x, H * (110 - Peak[size_t(i)]) / 111, x, 0, i / 2 + 30, true);
    }
}

void PanelFrames::Sample(int k) {
    const double w = 6.28 * k / 250;
    for (int i = 0; i <= 250; ++i) {
        const int v = int(std::nearbyint(std::fabs(std::sin(w * i)) * 100));
        Level[size_t(i)] = v;
        Peak[size_t(i)] = v;
    }
}

CPanelView::CPanelView(PanelViewHooks hooks, QObject* parent) : QObject(parent), hooks_(std::move(hooks)) {}

CPanelView::~CPanelView() {
    if (painter_.isActive()) painter_.end();
}

void CPanelView::SetTimerTarget(QTimer* timer) {
    timer_ = timer;
    if (timer_) timer_->stop();
}

void CPanelView::SetPanelTarget(QWidget* panel) {
    if (panel_) panel_->removeEventFilter(this);
    panel_ = panel;
    if (!panel_) return;
    // The image covers the whole panel: Qt need not clear it first.
    panel_->setAutoFillBackground(false);
    panel_->setAttribute(Qt::WA_OpaquePaintEvent);
    panel_->installEventFilter(this);
    Resize(panel_->size());
}

void CPanelView::Resize(const QSize& size) {
    if (painter_.isActive()) painter_.end();
    image_ = QImage(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    image_.fill(backColor_);
    frames_.SetSize(size.width(), size.height());
    painter_.begin(&image_);
    dirty_ = true;
    pensWidth_ = -1;
    BuildPens();
}

void CPanelView::BuildPens() {
    const int width = std::max(1, frames_.PenWidth());
    const Shades& shades = ShadeTable();
    for (size_t i = 0; i < pens_.size(); ++i) {
        pens_[i] = QPen(QColor::fromRgb(shades[i]), width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    }
    pensWidth_ = width;
}

void CPanelView::ShadesChanged() {
    dirty_ = true;
    pensWidth_ = -1;
    BuildPens();
    DrawPanel();
}

void CPanelView::SetBarType(int type) {
    frames_.SetBarType(type);
    dirty_ = true;
    if (hooks_.checkBarType) hooks_.checkBarType(frames_.BarType());
    if (pensWidth_ != std::max(1, frames_.PenWidth())) BuildPens();
}

void CPanelView::SetBackColor(QRgb colour) {
    dirty_ = true;
    backColor_ = colour;
    if (panel_) {
        QPalette pal = panel_->palette();
        pal.setColor(QPalette::Window, QColor::fromRgb(colour));
        panel_->setPalette(pal);
    }
}

// Clearing, the bars and the dots are written straight into the image's rows: each frame is
// dozens of small rectangles, and a painter's fill costs more per call than the pixels it sets.
// Only the slanting lines of the scope go through the painter.
void CPanelView::FillRows(int left, int top, int width, int height, QRgb colour) {
    const int right = std::min(left + width, image_.width());
    const int bottom = std::min(top + height, image_.height());
    left = std::max(left, 0);
    top = std::max(top, 0);
    if (left >= right) return;
    const qsizetype stride = image_.bytesPerLine() / qsizetype(sizeof(QRgb));
    QRgb* row = reinterpret_cast<QRgb*>(image_.bits()) + top * stride;
    for (int y = top; y < bottom; ++y, row += stride)
        std::fill(row + left, row + right, colour);
}

void CPanelView::Paint(const QRect& clear) {
    if (!painter_.isActive()) return;
    FillRows(clear.x(), clear.y(), clear.width(), clear.height(), backColor_);
    const Shades& shades = ShadeTable();
    const int pen = std::max(1, frames_.PenWidth());
    const int count = frames_.StrokeCount();
    const auto& strokes = frames_.Strokes();
    for (int k = 0; k < count; ++k) {
        const PanelStroke& s = strokes[size_t(k)];
        if (s.pixel) {
            FillRows(s.x1, s.y1, 1, 1, shades[s.shade]);
        } else if (s.x1 == s.x2) {
            // A vertical stroke of a wide flat pen is a rectangle centred on x.
            const int top = std::min(s.y1, s.y2), bottom = std::max(s.y1, s.y2);
            FillRows(s.x1 - pen / 2, top, pen, bottom - top, shades[s.shade]);
        } else {
            painter_.setPen(pens_[s.shade]);
            painter_.drawLine(s.x1, s.y1, s.x2, s.y2);
        }
    }
}

void CPanelView::DrawPanel() {
    if (frames_.Stopped && frames_.AtRest() && timer_) timer_->stop();
    if (hooks_.getWave) hooks_.getWave(frames_.WaveL.data(), frames_.WaveR.data());
    frames_.Advance();
    // A frame that draws what is already shown (silence, a panel at rest) costs no repaint.
    if (!dirty_ && frames_.SameStrokesAsBefore()) return;
    const bool whole = dirty_;
    dirty_ = false;
    // Outside the last frame's strokes the image holds only the background: only they need clearing.
    Paint(whole ? image_.rect() : lastDrawn_);
    // Only where this frame or the last one drew changes on screen: on X every repainted pixel
    // goes to the server, and the panel's neighbours are not touched.
    const QRect drawn = StrokeBounds();
    if (panel_) panel_->update(whole ? image_.rect() : drawn.united(lastDrawn_));
    lastDrawn_ = drawn;
}

QRect CPanelView::StrokeBounds() const {
    const int pen = std::max(1, frames_.PenWidth());
    const auto& strokes = frames_.Strokes();
    QRect bounds;
    for (int k = 0; k < frames_.StrokeCount(); ++k) {
        const PanelStroke& s = strokes[size_t(k)];
        bounds |= QRect(QPoint(std::min(s.x1, s.x2) - pen, std::min(s.y1, s.y2) - pen),
                        QPoint(std::max(s.x1, s.x2) + pen, std::max(s.y1, s.y2) + pen));
    }
    return bounds & image_.rect();
}

void CPanelView::StartPanelView() {
    if (hooks_.mustStayIdle && hooks_.mustStayIdle()) {
        frames_.Stopped = true;
        if (timer_) timer_->stop();
        return;
    }
    frames_.Stopped = false;
    if (timer_) timer_->start();
}

void CPanelView::StopPanelView() {
    frames_.Stopped = true;
}

void CPanelView::ChangePanelWhenDblClick() {
    int type = frames_.BarType() + 1;
    if (type > kBarTypeCount) type = 1;
    SetBarType(type);
    if (hooks_.decoderPlaying && hooks_.decoderPlaying()) return;
    const double r = hooks_.random01 ? hooks_.random01() : QRandomGenerator::global()->generateDouble();
    frames_.Sample(int(std::nearbyint(r * 3 + 2)));
    if (timer_) timer_->start();
    DrawPanel();
}

void CPanelView::StartPanelView2(int n) {
    frames_.SetBarCount(n);
    dirty_ = true; // the next frame clears the number away
    BuildPens();
    if (!painter_.isActive() || n < 1) return;
    QFont font = painter_.font();
    font.setPointSize(18);
    painter_.setFont(font);
    painter_.setPen(QColor::fromRgb(ShadeTable()[100]));
    painter_.drawText(image_.rect(), Qt::AlignCenter, QString::number(n));
    if (panel_) panel_->update();
}

bool CPanelView::eventFilter(QObject* watched, QEvent* event) {
    if (watched != panel_) return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Paint: {
        QPainter p(panel_);
        const QRect area = static_cast<QPaintEvent*>(event)->rect();
        p.drawImage(area.topLeft(), image_, area);
        return true;
    }
    case QEvent::Resize:
        if (static_cast<QResizeEvent*>(event)->size() != image_.size()) {
            Resize(static_cast<QResizeEvent*>(event)->size());
            Paint(image_.rect());
        }
        return false;
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            ChangePanelWhenDblClick();
            return true;
        }
        return false;
    default:
        return false;
    }
}

} // namespace kv::display
