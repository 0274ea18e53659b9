// The lyrics window: which file it shows, how it reads it, when it shows and hides, where it
// reopens, its font and its keys.
#include "platform/ini.h"
#include "platform/program_folder.h"
#include "platform/window_box.h"
#include "playlists/track_list_model.h"
#include "support/audio_files.h"
#include "support/qt_files.h"
#include "tools/font_choice.h"
#include "tools/form_words.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <QThread>
#include <QUrl>
#include <gtest/gtest.h>

using namespace kv::tools;
using kvtest::Put;
using kvtest::Q;

namespace {

struct Host : WordsHost {
    WordsPlacement geometry{4000, 4000, 0, 0, 0};
    bool closing = false;
    QStringList calls;
    QString selected = QStringLiteral("/list/selected.mp3");
    WordsPlacement WordsWindowGeometry() const override { return geometry; }
    void SetWordsWindowGeometry(const WordsPlacement& g) override { geometry = g; }
    bool Closing() const override { return closing; }
    void ClickToolBarBack(int button) override { calls << QStringLiteral("button %1").arg(button); }
    void ChangeVolumeBar(int delta) override { calls << QStringLiteral("volume %1").arg(delta); }
    QString ActiveViewSelectedPath() const override { return selected; }
    void OpenTrack(const QString& path) override { calls << QStringLiteral("open ") + path; }
};

struct Words {
    kvtest::TempDir dir;
    QString folder = Q(dir.path());
    Host host;
    std::unique_ptr<FormWords> form;
    Words() {
        kv::platform::SetProgramFolder(folder);
        form = std::make_unique<FormWords>(host, nullptr);
    }
    void Load(const QString& name, const QString& ext, bool checked = true, bool media = false) {
        form->LoadLyrics({checked, media, folder + u'/' + name, ext});
    }
    QString Shown() const { return form->TextWords()->toPlainText(); }
};

} // namespace

TEST(LyricsTest, LyricsFileReplacesAsManyCharactersAsTheExtensionHas) {
    struct Case {
        const char* file;
        const char* ext;
        const char* lyrics;
    };
    const Case cases[] = {
        {"/m/song.mp3", "mp3", "/m/song.txt"},
        {"/m/song.wave", "wave", "/m/song.txt"},
        {"/m/Song.MP3", "mp3", "/m/Song.txt"},
        {"/m/a.b.mid", "mid", "/m/a.b.txt"},
        {"/m/曲.flac", "flac", "/m/曲.txt"},
        {"/m/x.mp3", "", ""},
        {"mp3", "mp3", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LyricsFileOf(QString::fromUtf8(c.file), QString::fromUtf8(c.ext)),
                  QString::fromUtf8(c.lyrics))
            << c.file;
}

TEST(LyricsTest, ReadsUtf8AndCp932AndEndsEveryLine) {
    kvtest::TempDir dir;
    struct Case {
        QByteArray bytes;
        QString text;
    };
    const Case cases[] = {
        {"\xEF\xBB\xBF\xE6\xAD\x8C\xE8\xA9\x9E\r\nline 2", QStringLiteral("歌詞\nline 2\n")},
        {"\x89\xcc\x8e\x8c\r\n\x87\x40\n", QStringLiteral("歌詞\n①\n")}, // CP932 with an NEC special
        {"a\rb\n\nc", QStringLiteral("a\nb\n\nc\n")},
        {QByteArray("x\0y\x01\tz", 6), QStringLiteral("x\uFFFDy\uFFFD\tz\n")},
        {"", QString()},
    };
    for (const Case& c : cases) {
        const QString path = Q(dir.file("l.txt"));
        Put(path, c.bytes);
        EXPECT_EQ(ReadLyricsText(path), c.text) << c.bytes.toHex().constData();
    }
    EXPECT_EQ(ReadLyricsText(Q(dir.file("missing.txt"))), QString());
}

TEST(LyricsTest, ShowsAndHidesByTheRules) {
    Words w;
    Put(w.folder + "/a.txt", "first line\r\nsecond\r\n");
    Put(w.folder + "/c.txt", "words of c");
    w.Load("a.mp3", "mp3");
    EXPECT_TRUE(w.form->isVisible());
    EXPECT_EQ(w.Shown(), QStringLiteral("first line\nsecond\n"));
    w.Load("b.mp3", "mp3"); // no b.txt
    EXPECT_FALSE(w.form->isVisible());
    EXPECT_EQ(w.Shown(), QStringLiteral("first line\nsecond\n")) << "hiding leaves the text";
    w.Load("c.wave", "wave");
    EXPECT_TRUE(w.form->isVisible());
    EXPECT_EQ(w.Shown(), QStringLiteral("words of c\n"));
    w.Load("c.wave", "wave", /*checked*/ false);
    EXPECT_FALSE(w.form->isVisible());
    w.Load("c.wave", "wave", true);
    EXPECT_TRUE(w.form->isVisible());
    w.Load("c.wave", "wave", true, /*media window visible*/ true);
    EXPECT_FALSE(w.form->isVisible());
}

TEST(LyricsTest, GeometryIsTheNormalOneThroughMinimiseMaximiseAndClose) {
    Words w;
    Put(w.folder + "/a.txt", "a");
    w.host.geometry = {3000, 4500, 1500, 1200, 0};
    w.Load("a.mp3", "mp3");
    EXPECT_EQ(kv::platform::WindowBox(*w.form), QRect(100, 80, 300, 200));
    kv::platform::PlaceWindow(*w.form, QRect(110, 90, 320, 210));
    w.form->close(); // the frame's close only hides
    EXPECT_FALSE(w.form->isVisible());
    EXPECT_EQ(w.host.geometry.left, 1650);
    EXPECT_EQ(w.host.geometry.top, 1350);
    EXPECT_EQ(w.host.geometry.width, 4800);
    EXPECT_EQ(w.host.geometry.height, 3150);
    EXPECT_EQ(w.host.geometry.state, 0);

    for (int state : {2, 1}) {
        w.Load("a.mp3", "mp3");
        ASSERT_TRUE(w.form->isVisible());
        if (state == 2)
            w.form->showMaximized();
        else
            w.form->showMinimized();
        QApplication::processEvents();
        w.form->FormWords_Hide();
        EXPECT_EQ(w.host.geometry.state, state);
        EXPECT_EQ(w.host.geometry.width, 4800) << state;
        EXPECT_EQ(w.host.geometry.height, 3150) << state;
        EXPECT_EQ(w.host.geometry.left, 1650) << state;
    }
    w.host.geometry.state = 2;
    w.Load("a.mp3", "mp3");
    EXPECT_TRUE(w.form->isMaximized()) << "a window closed maximised reopens maximised";
    w.form->FormWords_Hide();
    EXPECT_EQ(w.host.geometry.width, 4800) << "with the normal size underneath";

    w.Load("a.mp3", "mp3");
    w.host.closing = true;
    QCloseEvent close;
    QApplication::sendEvent(w.form.get(), &close);
    EXPECT_TRUE(close.isAccepted()) << "at the program's end the window may go";
}

TEST(LyricsTest, FontComesFromTheSettingsAndTheDialogWritesTheSevenKeys) {
    Words w;
    const QString ini = kv::platform::SettingsFile();
    auto set = [&](const char* key, const char* value) {
        kv::platform::WriteSetting(QStringLiteral("Words"), QString::fromLatin1(key),
                                   QString::fromLatin1(value), ini);
    };
    set("FontName", "IPAGothic");
    set("FontSize", "14.5");
    set("FontBold", "True");
    set("FontItalic", "nonsense"); // unreadable: the design value stays
    set("FontUnderline", "1");
    set("FontColor", "255"); // 0x0000FF: red
    FormWords form(w.host, nullptr);
    QFont f = form.TextWords()->font();
    EXPECT_EQ(f.family(), QStringLiteral("IPAGothic"));
    EXPECT_DOUBLE_EQ(f.pointSizeF(), 14.5);
    EXPECT_TRUE(f.bold());
    EXPECT_FALSE(f.italic());
    EXPECT_TRUE(f.underline());
    EXPECT_EQ(form.TextWords()->palette().color(QPalette::Text), QColor(255, 0, 0));

    QString title;
    SetFontChooser([&](const WordsFont& preset, const QString& t) -> std::optional<WordsFont> {
        title = t;
        if (preset.font.strikeOut()) return std::nullopt; // the second time: cancel
        EXPECT_EQ(preset.color, QColor(255, 0, 0));
        WordsFont chosen = preset;
        chosen.font.setBold(false);
        chosen.font.setStrikeOut(true);
        chosen.font.setPointSizeF(20);
        chosen.color = QColor(0x10, 0x20, 0x30);
        return chosen;
    });
    form.PopupMenu()->actions().first()->trigger(); // "フォント"
    EXPECT_EQ(title, QStringLiteral("歌詞のフォント"));
    auto read = [&](const char* key) {
        return kv::platform::ReadSetting(QStringLiteral("Words"), QString::fromLatin1(key), ini);
    };
    EXPECT_EQ(read("FontName"), QStringLiteral("IPAGothic"));
    EXPECT_EQ(read("FontSize"), QStringLiteral("20"));
    EXPECT_EQ(read("FontBold"), QStringLiteral("False"));
    EXPECT_EQ(read("FontItalic"), QStringLiteral("False"));
    EXPECT_EQ(read("FontStrikethrough"), QStringLiteral("True"));
    EXPECT_EQ(read("FontUnderline"), QStringLiteral("True"));
    EXPECT_EQ(read("FontColor"), QString::number(0x302010));
    EXPECT_TRUE(form.TextWords()->font().strikeOut());

    set("FontColor", "0");
    form.ChooseFont(); // cancelled: nothing changes
    EXPECT_EQ(read("FontColor"), QStringLiteral("0"));
    EXPECT_EQ(form.TextWords()->palette().color(QPalette::Text), QColor(0x10, 0x20, 0x30));
    SetFontChooser({});
}

TEST(LyricsTest, AltKeysRightClickAndDrops) {
    Words w;
    w.form->show();
    QPlainTextEdit* text = w.form->TextWords();
    QTest::keyClick(text, Qt::Key_Left, Qt::AltModifier);
    QTest::keyClick(text, Qt::Key_Right, Qt::AltModifier);
    QTest::keyClick(text, Qt::Key_Down, Qt::AltModifier);
    QTest::keyClick(text, Qt::Key_Up, Qt::AltModifier);
    QTest::keyClick(text, Qt::Key_Left); // without Alt: the text box's own
    EXPECT_EQ(w.host.calls, (QStringList{"button 4", "button 5", "volume -2", "volume 2"}));

    QTest::mouseClick(text->viewport(), Qt::RightButton);
    EXPECT_TRUE(w.form->PopupMenu()->isVisible());
    w.form->PopupMenu()->hide();

    w.host.calls.clear();
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QStringLiteral("/music/dropped.mp3"))});
    w.form->Dropped(files);
    QMimeData rows;
    rows.setData(kv::playlists::TrackListModel::kRowsMimeType, "1");
    w.form->Dropped(rows);
    EXPECT_EQ(w.host.calls, (QStringList{"open /music/dropped.mp3", "open /list/selected.mp3"}));
    EXPECT_EQ(w.Shown(), QString()) << "a drop is not text for the box";
}

TEST(LyricsTest, HugeOrBinaryFilesNeverHoldTheWindowUp) {
    // What holds the window up is told apart by how the text arrives, not by the clock: the file
    // is read away from the window, and the text comes a slice per turn of the event loop. The
    // clock only guards against a freeze, with a margin that a loaded machine never reaches.
#if defined(__SANITIZE_ADDRESS__)
    constexpr int kSize = 2 * 1024 * 1024; // everything runs several times slower there
#else
    constexpr int kSize = 10 * 1024 * 1024;
#endif
    constexpr qint64 kFreeze = 2000;
    Words w;
    QByteArray lines;
    while (lines.size() < kSize)
        lines += "これは歌詞の一行です。 la la la la la la\r\n";
    QByteArray garbage(kSize, '\0');
    for (int i = 0; i < garbage.size(); ++i)
        garbage[i] = char((i * 2654435761u) >> 13);
    for (const QByteArray* bytes : {&lines, &garbage}) {
        Put(w.folder + "/big.txt", *bytes);
        QElapsedTimer clock;
        clock.start();
        w.Load("big.mp3", "mp3");
        qint64 longest = clock.elapsed();
        auto* document = w.form->TextWords()->document();
        EXPECT_LE(document->characterCount(), 1) << "read in the background";
        int grown = 0; // turns of the event loop that brought text
        QElapsedTimer total;
        total.start();
        while (w.form->LoadingLyrics() && total.elapsed() < 60000) {
            const int before = document->characterCount();
            clock.restart();
            QApplication::processEvents();
            longest = std::max(longest, clock.elapsed());
            grown += document->characterCount() > before;
            QThread::msleep(1);
        }
        EXPECT_FALSE(w.form->LoadingLyrics());
        EXPECT_GE(grown, 3) << "the text comes a slice at a time";
        EXPECT_LT(longest, kFreeze) << "longest pause in ms";
        EXPECT_TRUE(w.form->isVisible());
        EXPECT_GT(document->characterCount(), kSize / 10);
    }
}
