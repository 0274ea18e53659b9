// FormEqualizer ("音質調整"): ten band sliders, the preset list and the buttons that hand the
// curve to the engine. Made on first use, then only hidden and shown, so the preset choice and
// the sliders last until the program ends. Nothing reaches the engine until OK or Apply.
#pragma once
#include "tools/equalizer.h"

#include <QWidget>
#include <array>
#include <functional>

class QComboBox;
class QPushButton;
class QScrollBar;

namespace kv::tools {

class FormEqualizer : public QWidget {
    Q_OBJECT
  public:
    // currentType gives the player device's file type (its extension) at the moment of applying.
    FormEqualizer(QWidget* owner, std::function<QString()> currentType,
                  EqualizerEngine engine = EqualizerEngine::Real());

    QScrollBar* VScroll1(int band) const { return sliders_.at(size_t(band)); }
    QComboBox* Cmb() const { return cmb_; }
    QPushButton* Command1(int index) const { return buttons_.at(size_t(index)); } // OK, キャンセル, 適用

    void ChoosePreset(int index); // what a click on an item of Cmb does
    void Apply();
    Gains Sliders() const;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    std::array<QScrollBar*, kBands> sliders_{};
    std::array<QPushButton*, 3> buttons_{};
    QComboBox* cmb_ = nullptr;
    std::function<QString()> currentType_;
    EqualizerEngine engine_;
    Gains custom_{}; // the user's curve as last read or applied
};

} // namespace kv::tools
