// The splash window shown while the main window is built, with its progress bar.
#pragma once
#include <QWidget>

#include <QElapsedTimer>

class QLabel;

namespace kv::shell {

// Draws the start-up progress onto a picture control: a red bar whose right edge is at
// ScaleWidth / 100 * Value / 12 twips, so 1200 fills it. Steps that come faster than a screen
// can show them are drawn together (at most one picture per frame time), and none is lost.
class CLoadPicture {
public:
    void SetPictureBox(QLabel* picture);   // binding resets the value to 0
    int Value() const { return value_; }
    void SetValue(int value);
    static int BarRight(int scaleWidthTwips, int value);

private:
    void Draw();
    QLabel* picture_ = nullptr;
    QElapsedTimer lastDrawn_;
    bool drawPending_ = false;
    int scaleWidth_ = 0;
    int value_ = 0;
};

class FormStart : public QWidget {
    Q_OBJECT
public:
    explicit FormStart(QWidget* parent = nullptr);
    CLoadPicture& CLoadPic() { return loadPic_; }
    void Advance(int amount) { loadPic_.SetValue(loadPic_.Value() + amount); }

private:
    QLabel* picture_;
    CLoadPicture loadPic_;
};

} // namespace kv::shell
