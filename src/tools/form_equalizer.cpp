#include "tools/form_equalizer.h"

#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "playlists/track_info.h"
#include "tools/tool_window.h"
#include "tools/window_placement.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace kv::tools {

FormEqualizer::FormEqualizer(QWidget* owner, std::function<QString()> currentType, EqualizerEngine engine)
    : QWidget(owner, Qt::Window | Qt::WindowCloseButtonHint | Qt::WindowTitleHint),
      currentType_(std::move(currentType)), engine_(std::move(engine)) {
    setObjectName(QStringLiteral("FormEqualizer"));
    setWindowTitle(QStringLiteral("音質調整"));
    CloseWithEscape(this);
    if (owner) setWindowIcon(owner->windowIcon());

    auto* grid = new QGridLayout;
    auto* scale = new QVBoxLayout;
    scale->addWidget(new QLabel(QStringLiteral("100"), this), 0, Qt::AlignTop | Qt::AlignRight);
    scale->addStretch();
    scale->addWidget(new QLabel(QStringLiteral("0"), this), 0, Qt::AlignVCenter | Qt::AlignRight);
    scale->addStretch();
    scale->addWidget(new QLabel(QStringLiteral("-100"), this), 0, Qt::AlignBottom | Qt::AlignRight);
    grid->addLayout(scale, 0, 0);
    for (int i = 0; i < kBands; ++i) {
        auto* bar = new QScrollBar(Qt::Vertical, this);
        bar->setObjectName(QStringLiteral("VScroll1(%1)").arg(i));
        bar->setAccessibleName(i == 0            ? QStringLiteral("低音")
                               : i == kBands - 1 ? QStringLiteral("高音")
                                                 : QStringLiteral("帯域%1").arg(i + 1));
        bar->setRange(-kGainLimit, kGainLimit);
        bar->setSingleStep(5);
        bar->setPageStep(10);
        bar->setMinimumHeight(160);
        connect(bar, &QScrollBar::valueChanged, this, [this] { buttons_[2]->setEnabled(true); });
        sliders_[size_t(i)] = bar;
        grid->addWidget(bar, 0, i + 1, Qt::AlignHCenter);
    }
    grid->addWidget(new QLabel(QStringLiteral("低音"), this), 1, 1, 1, 2, Qt::AlignLeft);
    grid->addWidget(new QLabel(QStringLiteral("高音"), this), 1, kBands - 1, 1, 2, Qt::AlignRight);

    cmb_ = new QComboBox(this);
    cmb_->setObjectName(QStringLiteral("Cmb"));
    cmb_->setAccessibleName(QStringLiteral("プリセット"));
    cmb_->setAccessibleDescription(cmb_->accessibleName()); // Linux names a box by its current item
    cmb_->addItems(PresetNames());
    cmb_->setCurrentIndex(PresetNormal);
    connect(cmb_, &QComboBox::activated, this, &FormEqualizer::ChoosePreset);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmb_);
    buttons->addStretch();
    const char* captions[3] = {"OK", "キャンセル", "適用"};
    for (int i = 0; i < 3; ++i) {
        buttons_[size_t(i)] = new QPushButton(QString::fromUtf8(captions[i]), this);
        buttons_[size_t(i)]->setObjectName(QStringLiteral("Command1(%1)").arg(i));
        buttons->addWidget(buttons_[size_t(i)]);
    }
    buttons_[0]->setDefault(true);
    buttons_[2]->setEnabled(false);
    connect(buttons_[0], &QPushButton::clicked, this, [this] {
        Apply();
        close();
    });
    connect(buttons_[1], &QPushButton::clicked, this, &QWidget::close);
    connect(buttons_[2], &QPushButton::clicked, this, &FormEqualizer::Apply);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    adjustSize();
    CentreOnScreen(*this);
}

Gains FormEqualizer::Sliders() const {
    Gains values{};
    for (int i = 0; i < kBands; ++i)
        values[size_t(i)] = sliders_[size_t(i)]->value();
    return values;
}

void FormEqualizer::ChoosePreset(int index) {
    const Gains values = SlidersForPreset(index, Sliders(), custom_, platform::SettingsFile());
    for (int i = 0; i < kBands; ++i)
        sliders_[size_t(i)]->setValue(values[size_t(i)]);
}

void FormEqualizer::Apply() {
    if (currentType_ && currentType_() != u"mp3" && !playlists::IsEngineAudioKind(currentType_()))
        platform::ShowMessage(QStringLiteral("音質調整は MP3ファイルとWAVEファイルにしか効果がありません。"),
                              platform::MsgButtons::Ok, platform::MsgIcon::Exclamation,
                              QStringLiteral("注意"));
    const auto gains = GainsFromSliders(Sliders());
    if (engine_.setEqualizer) engine_.setEqualizer(gains);
    if (engine_.reload) engine_.reload();
    buttons_[2]->setEnabled(false);
    if (cmb_->currentIndex() == PresetCustom) {
        for (int i = 0; i < kBands; ++i)
            custom_[size_t(i)] = gains[size_t(i)];
        WriteCustomGains(platform::SettingsFile(), custom_);
    }
}

// Only hidden: the window keeps its choice until the program ends and its owner deletes it.
void FormEqualizer::closeEvent(QCloseEvent* event) {
    hide();
    event->ignore();
}

} // namespace kv::tools
