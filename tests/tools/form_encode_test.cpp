// The conversion window on the real engine: the list and its choices, and whole runs that
// write real MP3 and WAVE files.
#include "platform/dialogs.h"
#include "platform/ini.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "support/audio_files.h"
#include "support/qt_files.h"
#include "tools/form_encode.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>

using kv::tools::EncodeRun;
using kv::tools::FormEncode;
using kvtest::Q;

namespace {

class FormEncodeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        kv::platform::SetProgramFolder(Q(program.path()));
        kv::platform::SetMessageHandler([this](const kv::platform::MessageRequest& r) {
            messages << r.text;
            return kv::platform::MsgAnswer::Ok;
        });
    }
    void TearDown() override {
        form.reset();
        kv::platform::SetMessageHandler({});
        kv::platform::SetDialogHandler({});
        kv::platform::SetProgramFolder(QString());
    }
    FormEncode& Open() {
        form = std::make_unique<FormEncode>(nullptr);
        form->show();
        return *form;
    }
    QStringList Column(int column) const {
        QStringList texts;
        for (int i = 0; i < form->FileList()->topLevelItemCount(); ++i)
            texts << form->FileList()->topLevelItem(i)->text(column);
        return texts;
    }
    // Presses "変換" and lets the window's own timers run the conversion to its end.
    QList<int> Convert() {
        QList<int> shown;
        QObject::connect(form->Progress()->EncodeBar(), &QProgressBar::valueChanged,
                         [&shown](int v) { shown << v; });
        form->CommandEncode()->click();
        for (int i = 0; i < 300 && form->Run().CurrentState() != EncodeRun::kIdle; ++i)
            QTest::qWait(20);
        return shown;
    }
    QStringList OutputFiles() const {
        return QDir(Q(out.path())).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    kvtest::TempDir program;
    kvtest::TempDir in;
    kvtest::TempDir out;
    std::unique_ptr<FormEncode> form;
    QStringList messages;
};

// Largest normalised correlation of a quarter-second stretch of `a` with `b` over small shifts.
double BestCorrelation(const kvtest::Pcm& a, const kvtest::Pcm& b) {
    const size_t start = size_t(a.rate) / 2, frames = size_t(a.rate) / 4;
    double best = -1;
    for (long shift = -1500; shift <= 1500; ++shift) {
        double ab = 0, aa = 0, bb = 0;
        for (size_t i = 0; i < frames; ++i) {
            const long j = long(start + i) + shift;
            if (j < 0 || size_t(j) >= b.Frames()) continue;
            const double x = a.samples[(start + i) * a.channels], y = b.samples[size_t(j) * b.channels];
            ab += x * y;
            aa += x * x;
            bb += y * y;
        }
        best = std::max(best, ab / std::sqrt(aa * bb + 1e-20));
    }
    return best;
}

TEST_F(FormEncodeTest, DropsKeepTheChosenKindOnceEachAndTheChoiceEmptiesTheList) {
    FormEncode& f = Open();
    EXPECT_EQ(f.windowTitle(), "ファイル変換");
    QStringList header;
    for (int c = 0; c < 3; ++c)
        header << f.FileList()->headerItem()->text(c);
    EXPECT_EQ(header, (QStringList{"ファイル", "演奏時間", "場所"}));
    const QString wav = Q(kvtest::MakeWave(in.file("a.wav"), 3, 8000, 1));
    const QString upper = Q(kvtest::MakeWave(in.file("B.WAV"), 1, 8000, 1));
    const QString wave = Q(kvtest::MakeWave(in.file("c.wave"), 65, 8000, 1));
    const QString mp3 = Q(kvtest::MakeMp3(in.file("d.mp3"), 2, 8000, 1));
    const QString text = Q(kvtest::WriteBytes(in.file("e.txt"), {'x'}));
    // Lossless PCM in another container is a source too; a lossy kind is not.
    const QString flac = Q(in.file("f.flac"));
    ASSERT_EQ(std::system(
                  ("ffmpeg -v error -y -i '" + wav.toStdString() + "' '" + flac.toStdString() + "'").c_str()),
              0);
    const QString opus = Q(kvtest::WriteBytes(in.file("g.opus"), {'O', 'g', 'g', 'S'}));
    f.AddDroppedFiles({wav, mp3, upper, wav, text, wave, flac, opus});
    f.AddDroppedFiles({upper});
    EXPECT_EQ(Column(0), (QStringList{"a.wav", "B.WAV", "c.wave", "f.flac"}));
    EXPECT_EQ(Column(1), (QStringList{"0：03", "0：01", "1：05", "0：03"}));
    EXPECT_EQ(Column(2), (QStringList{wav, upper, wave, flac}));

    f.OptionType(FormEncode::kMp3ToWave)->click();
    EXPECT_EQ(f.FileList()->topLevelItemCount(), 0);
    // A real drop on the list, as the desktop delivers it.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(wav), QUrl::fromLocalFile(mp3)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f.FileList()->viewport(), &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f.FileList()->viewport(), &drop);
    EXPECT_EQ(Column(2), QStringList{mp3});
    EXPECT_EQ(Column(1), QStringList{"0：02"});
}

TEST_F(FormEncodeTest, ColumnsDeletingRowsAndTheFolderPicker) {
    FormEncode& f = Open();
    const int list = f.FileList()->width() * 15;
    EXPECT_EQ(f.FileList()->columnWidth(1), 1000 / 15);
    EXPECT_NEAR(f.FileList()->columnWidth(0), (list - 1100) / 2 / 15, 1);
    EXPECT_EQ(f.FileList()->columnWidth(0), f.FileList()->columnWidth(2));

    QStringList dropped;
    for (const char* name : {"1.wav", "2.wav", "3.wav"})
        dropped << Q(kvtest::MakeWave(in.file(name), 1, 8000, 1));
    f.AddDroppedFiles(dropped);
    f.FileList()->topLevelItem(0)->setSelected(true);
    f.FileList()->topLevelItem(2)->setSelected(true);
    f.FileListMenu()->findChild<QAction*>("IDMDeleteFile")->trigger();
    EXPECT_EQ(Column(0), QStringList{"2.wav"});

    QString shownPath;
    f.showProperties = [&](const QString& path, QWidget*) { shownPath = path; };
    emit f.FileList()->itemDoubleClicked(f.FileList()->topLevelItem(0), 0);
    EXPECT_EQ(shownPath, dropped[1]);

    QString prompt;
    QStringList answer{"/chosen/folder"};
    kv::platform::SetDialogHandler([&](const kv::platform::DialogRequest& r) {
        prompt = r.title;
        return answer;
    });
    f.findChild<QPushButton*>("CommandSave")->click();
    EXPECT_EQ(prompt, "フォルダを選択して下さい。");
    EXPECT_EQ(f.TextSave()->text(), "/chosen/folder");
    answer.clear(); // cancelled
    f.findChild<QPushButton*>("CommandSave")->click();
    EXPECT_EQ(f.TextSave()->text(), "/chosen/folder");
}

TEST_F(FormEncodeTest, TheFolderComesFromTheSettingsFileAndGoesBackOnClose) {
    const QString ini = kv::platform::SettingsFile();
    struct Case {
        QString stored, shown;
    } cases[] = {
        {Q(out.path()), Q(out.path()) + "/"},
        {Q(out.path()) + "/", Q(out.path()) + "/"},
        {Q(out.file("gone")), Q(program.path()) + "/"},
        {"", Q(program.path()) + "/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.toStdString());
        kv::platform::WriteSetting("Encode", "SaveDir", c.stored, ini);
        FormEncode& f = Open();
        EXPECT_EQ(f.TextSave()->text(), c.shown);
        QString written;
        QObject::connect(&f, &FormEncode::SaveFolderWritten,
                         [&](const QString& folder) { written = folder; });
        f.TextSave()->setText(Q(in.path()));
        f.CommandEnd()->click();
        EXPECT_FALSE(f.isVisible());
        EXPECT_EQ(written, Q(in.path()));
        EXPECT_EQ(kv::platform::ReadSetting("Encode", "SaveDir", ini), Q(in.path()));
    }
}

TEST_F(FormEncodeTest, WaveToMp3RunWritesEveryFileAndShowsOneRisingPercent) {
    FormEncode& f = Open();
    const std::string a = kvtest::MakeWave(in.file("a.wav"), 3, 44100, 2, 1000, 0.5);
    const std::string b = kvtest::MakeWave(in.file("b.wav"), 2, 22050, 1, 440, 0.5);
    f.AddDroppedFiles({Q(a), Q(b)});
    f.TextSave()->setText(Q(out.path()));
    const QList<int> shown = Convert();
    EXPECT_EQ(f.Run().CurrentState(), EncodeRun::kIdle);
    EXPECT_FALSE(f.Progress()->isVisible());
    EXPECT_FALSE(f.TimerEnc()->isActive());
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
    EXPECT_EQ(shown.last(), 100);
    EXPECT_EQ(f.Progress()->LabelEncode()->text(), "100%");
    EXPECT_EQ(OutputFiles(), (QStringList{"a.mp3", "b.mp3"}));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    for (const auto& [source, mp3] : {std::pair{a, out.file("a.mp3")}, std::pair{b, out.file("b.mp3")}}) {
        const kvtest::Pcm original = kvtest::DecodeFile(source);
        const kvtest::Pcm decoded = kvtest::DecodeFile(mp3);
        EXPECT_EQ(decoded.rate, original.rate);
        EXPECT_NEAR(double(decoded.Frames()), double(original.Frames()), 1152);
        EXPECT_GT(BestCorrelation(original, decoded), 0.99) << mp3;
    }
}

TEST_F(FormEncodeTest, Mp3ToWaveRunMatchesTheDecodedSource) {
    FormEncode& f = Open();
    f.OptionType(FormEncode::kMp3ToWave)->click();
    const std::string mp3 = kvtest::MakeMp3(in.file("song.mp3"), 3, 44100, 2, 880, 128);
    f.AddDroppedFiles({Q(mp3)});
    f.TextSave()->setText(Q(out.path()) + "/");
    const QList<int> shown = Convert();
    EXPECT_EQ(shown.last(), 100);
    ASSERT_EQ(OutputFiles(), QStringList{"song.wav"});
    const kvtest::Pcm source = kvtest::DecodeFile(mp3);
    const kvtest::Pcm wave = kvtest::DecodeFile(out.file("song.wav"));
    ASSERT_EQ(wave.rate, source.rate);
    ASSERT_EQ(wave.channels, source.channels);
    ASSERT_GE(wave.Frames(), source.Frames());
    double worst = 0;
    for (size_t i = 0; i < source.samples.size(); ++i)
        worst = std::max(worst, double(std::abs(source.samples[i] - wave.samples[i])));
    EXPECT_LT(worst, 2.0 / 32768) << "16-bit rounding only";
}

TEST_F(FormEncodeTest, StopInTheMiddleLeavesNothingBehind) {
    FormEncode& f = Open();
    f.AddDroppedFiles({Q(kvtest::MakeWave(in.file("long.wav"), 90, 22050, 1))});
    f.TextSave()->setText(Q(out.path()));
    f.CommandEncode()->click();
    EXPECT_TRUE(f.Progress()->isVisible());
    EXPECT_EQ(f.Progress()->windowModality(), Qt::ApplicationModal);
    QTest::qWait(100);
    ASSERT_EQ(f.Run().CurrentState(), EncodeRun::kConverting);
    f.Progress()->Command1()->click();
    EXPECT_EQ(f.Run().CurrentState(), EncodeRun::kIdle);
    EXPECT_FALSE(f.Progress()->isVisible());
    EXPECT_TRUE(OutputFiles().isEmpty()) << OutputFiles().join(u' ').toStdString();
    EXPECT_TRUE(messages.isEmpty());
}

} // namespace
