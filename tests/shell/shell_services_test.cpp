#include "shell/shell_services.h"
#include "shell/form_start.h"
#include "shell/program_icon.h"
#include "support/audio_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPixmap>
#include <QTest>
#include <gtest/gtest.h>

using namespace kv::shell;

TEST(ShellServices, TrayTipIsCutTo63BytesNeverInsideACharacter) {
    EXPECT_EQ(TrayIcon::CutTip("Kavetto"), "Kavetto");
    EXPECT_EQ(TrayIcon::CutTip(QString(80, u'a')), QString(63, u'a'));
    EXPECT_EQ(TrayIcon::CutTip(QString(30, QChar(0x3042))), QString(21, QChar(0x3042))); // 3 bytes each
    // Where the desktop has no tray (offscreen), adding it fails quietly and the tip is kept.
    TrayIcon tray({});
    tray.AddTrayIcon(QIcon(), QString(70, u'x'));
    EXPECT_EQ(tray.Tip().size(), 63);
    tray.RemoveTrayIcon();
}

TEST(ShellServices, TrashTakesFilesEvenWhenTheDataFolderIsMissing) {
    kvtest::TempDir home;
    kvtest::TempDir work;
    const QByteArray oldData = qgetenv("XDG_DATA_HOME");
    const QString data = QString::fromStdString(home.file("not-yet/share"));
    qputenv("XDG_DATA_HOME", data.toUtf8());
    const QString oldCwd = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(work.path()));

    const QString file = QString::fromStdString(kvtest::MakeWave(home.file("song.wav"), 0.1));
    EXPECT_EQ(MoveToRecycleBin(file), 0);
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_TRUE(QFileInfo::exists(data + "/Trash/files/song.wav"));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(work.file("files")))); // not beside us
    EXPECT_NE(MoveToRecycleBin(file), 0);                                          // gone already
    EXPECT_NE(MoveToRecycleBin(QString()), 0);

    QDir::setCurrent(oldCwd);
    if (oldData.isNull()) qunsetenv("XDG_DATA_HOME");
    else qputenv("XDG_DATA_HOME", oldData);
}

TEST(ShellServices, PropertiesOfAMissingPathShowNothing) {
    EXPECT_FALSE(ShowProperties("/no/such/file.mp3", nullptr));
    EXPECT_FALSE(GetSystemFolder().isEmpty());
}

TEST(ShellServices, TheProgramIconIsDrawnAtWhateverSizeIsAskedFor) {
    const QIcon icon = kv::shell::ProgramIcon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_TRUE(icon.availableSizes().contains(QSize(256, 256)));
    for (int side : {16, 22, 48, 256}) {
        const QImage image = icon.pixmap(side, side).toImage();
        ASSERT_EQ(image.size(), QSize(side, side));
        // Transparent at the corner, the dark tile inside.
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << side;
        EXPECT_EQ(qAlpha(image.pixel(side / 8 + 1, side / 2)), 255) << side;
    }
}

// Steps faster than the screen are drawn together, and the last one always reaches the picture.
TEST(ShellServices, TheStartUpBarShowsEveryStepsTotalOnceEventsRun) {
    QLabel picture;
    picture.resize(240, 8);
    kv::shell::CLoadPicture bar;
    bar.SetPictureBox(&picture);
    for (int i = 0; i < 30; ++i)
        bar.SetValue(bar.Value() + 20); // 600 of 1200: half the width
    EXPECT_EQ(bar.Value(), 600);
    const auto redUpTo = [&] {
        const QImage image = picture.pixmap().toImage();
        int x = 0;
        while (x < image.width() && image.pixelColor(x, 4) == QColor(240, 0, 0))
            ++x;
        return x;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return redUpTo() == 120; }, 1000)) << redUpTo();
}
