// CProgressBar: the clickable bars (play position and volume) of the main window and the two
// media windows. The bar keeps its value, draws itself on the widget it is given (`target`), turns
// presses and drags into values, seeks when a position bar is let go, and records the volume of
// every played track in the volume memory. UI thread only.
#pragma once
#include "display/volume_memory.h"

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRgb>
#include <QString>
#include <QVector>
#include <QWidget>

class QWidget;
class QPainter;

namespace kv::display {

class CProgressBar;

// What a bar reaches outside itself: the player device, play control, the main window's time
// label and menu, the other volume bars. The main window implements it (one host for all bars).
class ProgressBarHost {
  public:
    virtual ~ProgressBarHost() = default;
    virtual QString DeviceFileName() const { return QString(); } // CSoundPlay::FileName
    virtual QString DeviceState() { return QString(); }          // "Playing", "Paused", "Stopped", "NotLoaded"
    virtual void DeviceSetVolume(int volume) { (void)volume; }
    virtual void DeviceSetPosition(double seconds) { (void)seconds; }
    virtual void PlayOrResume() {}
    virtual void PlaySelected() {}
    virtual void OpenTrack(const QString& path) { (void)path; }
    virtual QString ActiveViewSelectedPath() const { return QString(); } // full path of the selected row
    virtual bool Initializing() const { return false; }
    virtual void SetTimeLabel(const QString& text) { (void)text; } // LabelCurTime
    virtual void ShowPlayPositionMenu(const QPoint& globalPos) { (void)globalPos; } // IDMPlayPosition
    // The main window's volume bar (CVolume).
    virtual CProgressBar* MainVolumeBar() { return nullptr; }
    // The volume bars of the media windows to keep in step: W's when W is loaded and visible,
    // Y's when Y is loaded, visible and its control's play state is not 5.
    virtual QVector<CProgressBar*> MediaVolumeBars() { return {}; }
};

class CProgressBar : public QObject {
    Q_OBJECT
  public:
    enum Style { PositionStyle = 0, VolumeStyle = 1 };

    explicit CProgressBar(ProgressBarHost& host, VolumeMemory* listVol = nullptr, QObject* parent = nullptr);
    ~CProgressBar() override;

    int Value() const { return value_; }
    void SetValue(int value);
    void RedrawPanel();
    QWidget* target() const { return target_; }
    void SetTarget(QWidget* picture);
    int Max() const { return max_; }
    void SetMax(int max);
    int BarStyle() const { return style_; }
    void SetBarStyle(int style);
    QRgb BackColor() const { return backColor_; }
    void SetBackColor(QRgb colour);
    QRgb ForeColor() const { return foreColor_; }
    void SetForeColor(QRgb colour) { foreColor_ = colour; }
    // Twips, as the picture's outer size and position.
    int Width() const;
    void SetWidth(int twips);
    int Height() const;
    void SetHeight(int twips);
    int Top() const;
    void SetTop(int twips);
    int Left() const;
    void SetLeft(int twips);
    bool BarMove() const { return barMove_; }
    void SetBarMove(bool moving) { barMove_ = moving; }

    // Volume memory (on CVolume).
    void ReadVolume();
    // The volume memory's value for `name` in the bar's range, -1 when it holds none.
    int StoredVolume(const QString& name) const;
    void LoadVolume(const QString& file = VolumeFile());
    bool SaveVolume(const QString& file = VolumeFile());
    VolumeMemory* ListVol() const { return listVol_; }

    // The inner size in pixels that the drawing uses.
    int PixelWidth() const { return pixelWidth_; }
    int PixelHeight() const { return pixelHeight_; }
    // What the picture shows now (for the paint event, and for tests).
    QImage Picture() const { return picture_; }

    // Mouse and drop events of the picture, in its own pixels (the widget's event filter calls
    // these; tests call them directly).
    void MouseDown(Qt::MouseButton button, QPoint pos, QPoint globalPos = {});
    void MouseMove(Qt::MouseButtons buttons, QPoint pos);
    void MouseUp(Qt::MouseButton button, QPoint pos);
    // The keyboard's and the screen reader's way to the bar: as a drag let go at `value`, with the
    // same consequences (a position bar starts or resumes play and seeks). Values outside 0..Max
    // are refused.
    bool MoveTo(int value);
    void Resized();
    void Dropped(const QStringList& files);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    int ValueAt(QPoint pos) const;
    void ReleaseAt(int value);
    bool KeyPressed(int key);
    void AnnounceValue();
    void MarkAccessible(QWidget* picture, bool mine); // progress_bar_access.cpp
    void Clear();
    void Draw();
    void Refresh();
    void RememberVolume();
    void SyncVolumeBars();

    ProgressBarHost& host_;
    VolumeMemory* listVol_;
    QPointer<QWidget> target_;
    int value_ = 0;
    int max_ = 0;
    int style_ = PositionStyle;
    QRgb backColor_ = qRgb(40, 40, 40);
    QRgb foreColor_ = qRgb(250, 250, 250);
    int pixelWidth_ = 0;
    int pixelHeight_ = 0;
    bool barMove_ = false;
    QImage picture_;
};

// "m：ss/m：ss", the main window's time label for a position of `max` seconds.
QString TimeLabelText(int value, int max);

} // namespace kv::display
