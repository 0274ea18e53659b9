// The reference for the visualizer's CPU on an X display: a bare Qt Widgets window of the
// program's default size whose panel of the same size as the visualizer's is repainted at the
// same frame rate with bars of new heights. No audio, no decoding: what Qt and the display
// cost for the frames alone. Ends on SIGTERM.
#include <QApplication>
#include <QPainter>
#include <QRandomGenerator>
#include <QTimer>
#include <QWidget>
#include <array>

namespace {
class Panel : public QWidget {
  public:
    using QWidget::QWidget;
    void Step() {
        for (int& h : heights_)
            h = int(QRandomGenerator::global()->bounded(height() + 1));
        update();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), QColor(40, 40, 40));
        const int bar = std::max(1, width() / int(heights_.size()));
        for (size_t i = 0; i < heights_.size(); ++i)
            p.fillRect(int(i) * bar, height() - heights_[i], bar - 1, heights_[i], QColor(190, 255, 190));
    }

  private:
    std::array<int, 64> heights_{};
};
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(433, 330);
    auto* panel = new Panel(&window);
    panel->setGeometry(225, 60, 204, 72); // where and how large the visualizer's panel is at this size
    panel->setAutoFillBackground(false);
    window.show();
    QTimer frames;
    frames.setInterval(35); // Timer3
    QObject::connect(&frames, &QTimer::timeout, panel, &Panel::Step);
    frames.start();
    return app.exec();
}
