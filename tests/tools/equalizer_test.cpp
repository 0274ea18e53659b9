// The equalizer window: presets to sliders, the user's curve in the settings file and what
// reaches the engine.
#include "platform/ini.h"
#include "platform/program_folder.h"
#include "playlists/fake_host.h"
#include "support/audio_files.h"
#include "support/qt_files.h"
#include "tools/form_equalizer.h"

#include <QComboBox>
#include <QPushButton>
#include <QScrollBar>
#include <gtest/gtest.h>

using namespace kv::tools;
using kvtest::Q;

namespace {

struct Equalizer {
    kvtest::TempDir dir;
    QString ini;
    QString type = QStringLiteral("mp3");
    std::vector<std::array<int16_t, kBands>> sent;
    int reloads = 0;
    std::unique_ptr<FormEqualizer> form;
    Equalizer() {
        kv::platform::SetProgramFolder(Q(dir.path()));
        ini = kv::platform::SettingsFile();
        EqualizerEngine engine{[this](const std::array<int16_t, kBands>& g) { sent.push_back(g); },
                               [this] { ++reloads; }};
        form = std::make_unique<FormEqualizer>(
            nullptr, [this] { return type; }, engine);
    }
    void Choose(const QString& name) {
        form->Cmb()->setCurrentText(name);
        form->ChoosePreset(form->Cmb()->currentIndex());
    }
    Gains ShownGains() const {
        Gains g = form->Sliders();
        for (int& v : g)
            v = -v;
        return g;
    }
};

} // namespace

TEST(EqualizerTest, PresetsGiveTheirGainsInListOrder) {
    Equalizer eq;
    EXPECT_EQ(eq.form->Cmb()->currentText(), QStringLiteral("Normal"));
    EXPECT_FALSE(eq.form->Command1(2)->isEnabled());
    struct Case {
        const char* name;
        Gains gains;
    };
    const Case cases[] = {
        {"Pop", {20, 30, 40, 60, 60, 40, 30, 20, 0, 0}},
        {"Jaz", {0, 0, 0, 30, 40, 30, 10, 20, 30, 40}},
        {"Rock", {60, 40, 20, 0, -20, -20, 0, 20, 40, 60}},
        // Country names nine bands: the treble band stays where Rock put it.
        {"Country", {-20, 0, 10, 40, 30, 0, 10, 30, 40, 60}},
        {"Treble Boost", {0, 0, 0, 0, 5, 20, 35, 50, 65, 80}},
        {"Bass Boost", {80, 65, 50, 35, 20, 5, 0, 0, 0, 0}},
        {"Custom", {100, 78, 56, 34, 12, -10, -32, -54, -76, -98}},
        {"Normal", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        eq.Choose(QString::fromUtf8(c.name));
        EXPECT_EQ(eq.ShownGains(), c.gains) << c.name;
    }
    EXPECT_EQ(eq.form->Cmb()->count(), 8);
    EXPECT_EQ(eq.form->Cmb()->itemText(4), QStringLiteral("Jaz"));
    EXPECT_TRUE(eq.form->Command1(2)->isEnabled());
    EXPECT_TRUE(eq.sent.empty()) << "choosing a preset applies nothing";
}

TEST(EqualizerTest, SlidersRunFromMinus120AtTheTopWithSteps5And10) {
    Equalizer eq;
    for (int i = 0; i < kBands; ++i) {
        QScrollBar* bar = eq.form->VScroll1(i);
        EXPECT_EQ(bar->orientation(), Qt::Vertical);
        EXPECT_EQ(bar->minimum(), -120);
        EXPECT_EQ(bar->maximum(), 120);
        EXPECT_EQ(bar->singleStep(), 5);
        EXPECT_EQ(bar->pageStep(), 10);
    }
}

TEST(EqualizerTest, ApplySendsNegatedSlidersThenReloadsAndDisablesApply) {
    Equalizer eq;
    kvtest::MessageRecorder messages;
    eq.form->VScroll1(0)->setValue(-120); // top: loudest bass
    eq.form->VScroll1(9)->setValue(120);  // bottom
    eq.form->VScroll1(4)->setValue(35);
    ASSERT_TRUE(eq.form->Command1(2)->isEnabled());
    eq.form->Command1(2)->click();
    ASSERT_EQ(eq.sent.size(), 1u);
    const std::array<int16_t, kBands> expected{120, 0, 0, 0, -35, 0, 0, 0, 0, -120};
    EXPECT_EQ(eq.sent[0], expected);
    EXPECT_EQ(eq.reloads, 1);
    EXPECT_FALSE(eq.form->Command1(2)->isEnabled());
    EXPECT_TRUE(messages.asked.empty()) << "an mp3 needs no warning";
    EXPECT_FALSE(kvtest::Bytes(eq.ini).contains("Custom")) << "only the Custom preset is stored";
}

TEST(EqualizerTest, NonMp3TypesWarnAndStillApply) {
    for (const char* type : {"wav", "mid", ""}) {
        Equalizer eq;
        eq.type = QString::fromLatin1(type);
        kvtest::MessageRecorder messages;
        eq.form->Apply();
        ASSERT_EQ(messages.asked.size(), 1u) << type;
        EXPECT_EQ(messages.asked[0].text,
                  QStringLiteral("音質調整は MP3ファイルとWAVEファイルにしか効果がありません。"));
        EXPECT_EQ(messages.asked[0].title, QStringLiteral("注意"));
        EXPECT_EQ(messages.asked[0].icon, kv::platform::MsgIcon::Exclamation);
        EXPECT_EQ(eq.sent.size(), 1u) << type;
        EXPECT_EQ(eq.reloads, 1) << type;
    }
}

TEST(EqualizerTest, CustomCurveRoundTripsThroughTheSettingsAndZeroMeansDefault) {
    Equalizer eq;
    eq.Choose(QStringLiteral("Custom"));
    eq.form->VScroll1(2)->setValue(0);   // gain 0: stored as 0, read back as the default
    eq.form->VScroll1(3)->setValue(-45); // gain 45
    eq.form->Command1(0)->click();       // OK applies and hides
    EXPECT_FALSE(eq.form->isVisible());
    EXPECT_EQ(kv::platform::ReadSetting(QStringLiteral("Equalizer"), QStringLiteral("Custom12"), eq.ini),
              QStringLiteral("0"));
    EXPECT_EQ(kv::platform::ReadSetting(QStringLiteral("Equalizer"), QStringLiteral("Custom13"), eq.ini),
              QStringLiteral("45"));
    EXPECT_EQ(kv::platform::ReadSetting(QStringLiteral("Equalizer"), QStringLiteral("Custom19"), eq.ini),
              QStringLiteral("-98"));

    // Another window (another run) reads what was stored; a non-number keeps the band's value,
    // and values out of range, hand-edited, are held to it.
    kv::platform::WriteSetting(QStringLiteral("Equalizer"), QStringLiteral("Custom15"), QStringLiteral("x"),
                               eq.ini);
    kv::platform::WriteSetting(QStringLiteral("Equalizer"), QStringLiteral("Custom16"),
                               QStringLiteral("-2147483648"), eq.ini);
    kv::platform::WriteSetting(QStringLiteral("Equalizer"), QStringLiteral("Custom17"),
                               QStringLiteral("2147483647"), eq.ini);
    FormEqualizer again(
        nullptr, [] { return QStringLiteral("mp3"); }, EqualizerEngine{});
    again.Cmb()->setCurrentIndex(PresetCustom);
    again.ChoosePreset(PresetCustom);
    Gains shown = again.Sliders();
    for (int& v : shown)
        v = -v;
    EXPECT_EQ(shown, (Gains{100, 78, 56, 45, 12, -10, -120, 120, -76, -98}));
}

TEST(EqualizerTest, CancelAndFrameCloseOnlyHideAndKeepTheSliders) {
    Equalizer eq;
    eq.form->show();
    eq.Choose(QStringLiteral("Rock"));
    eq.form->Command1(1)->click();
    EXPECT_FALSE(eq.form->isVisible());
    EXPECT_TRUE(eq.sent.empty());
    eq.form->show();
    EXPECT_EQ(eq.form->Cmb()->currentText(), QStringLiteral("Rock"));
    EXPECT_EQ(eq.form->VScroll1(0)->value(), -60);
    eq.form->close();
    EXPECT_FALSE(eq.form->isVisible());
    EXPECT_EQ(eq.form->VScroll1(0)->value(), -60);
}
