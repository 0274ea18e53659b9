// The list file format, the two files of a list and what happens to them when things go wrong.
#include "playlists/list_files.h"
#include "playlists/list_import.h"
#include "playlists/list_text.h"
#include "support/audio_files.h"
#include "support/qt_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace kv::playlists;

namespace {
using kvtest::Bytes;
using kvtest::Put;
using kvtest::Q;
TrackEntry Row(const QString& name, const QString& path) {
    TrackEntry r;
    r[ColFile] = name;
    r[ColPath] = path;
    r[ColKind] = QStringLiteral("mp3");
    return r;
}
} // namespace

TEST(ListFileFormat, WritesTenNumberedLinesAndAtPerRowInUtf8WithCrLf) {
    kvtest::TempDir dir;
    const QString file = Q(dir.file("a.kvt"));
    ASSERT_TRUE(WriteListFile(file, {}, false));
    EXPECT_EQ(Bytes(file), QByteArray()); // an empty list is an empty file

    TrackEntry r;
    r[ColFile] = QStringLiteral("曲.mp3");
    r[ColArtist] = QStringLiteral("歌手");
    r[ColPath] = QStringLiteral("/m/曲.mp3");
    r[ColStart] = QStringLiteral("12.5");
    ASSERT_TRUE(WriteListFile(file, {r}, true));
    EXPECT_EQ(Bytes(file),
              QStringLiteral(
                  "0:曲.mp3\r\n1:歌手\r\n2:\r\n3:\r\n4:\r\n5:\r\n6:/m/曲.mp3\r\n7:\r\n8:12.5\r\n9:\r\n@\r\n")
                  .toUtf8());
    ListReadResult back = ReadListFile(file, false);
    ASSERT_EQ(back.rows.size(), 1);
    EXPECT_EQ(back.rows[0].columns, r.columns);
    EXPECT_FALSE(back.lossy);
    EXPECT_TRUE(ReadListFile(Q(dir.file("none.kvt"))).rows.isEmpty());
}

// The writer encodes into blocks of its own with a fast path for ASCII; every kind of text and
// every place a record can fall (within a block, across the end of one, longer than a block)
// must come out as QString::toUtf8 would write it.
TEST(ListFileFormat, EveryTextAndRowLengthIsWrittenAsItsUtf8) {
    struct Case {
        const char* what;
        QString text;
        QString expected; // as read back
    };
    const QChar lone[] = {QChar(0xD83D), u'a', QChar(0xDE00)};
    const Case cases[] = {
        {"ascii of every length around the four-at-a-time step", QStringLiteral("abcdefg"),
         QStringLiteral("abcdefg")},
        {"kana and kanji", QStringLiteral("アーティスト/曲 1.mp3"), QStringLiteral("アーティスト/曲 1.mp3")},
        {"mixed, non-ASCII inside a run of four", QStringLiteral("ab曲cdéfgh"), QStringLiteral("ab曲cdéfgh")},
        {"a pair of surrogates", QStringLiteral("x😀y"), QStringLiteral("x😀y")},
        {"lone surrogates become U+FFFD", QString(lone, 3), QStringLiteral("\uFFFDa\uFFFD")},
        {"a row longer than a write block (last)", QString(400000, QChar(0x66F2)),
         QString(400000, QChar(0x66F2))},
    };
    kvtest::TempDir dir;
    // Each text at nine alignments against the four-unit step, in the name and in the path.
    QVector<TrackEntry> rows, clean;
    for (const Case& c : cases)
        for (int i = 0; i < 9; ++i) {
            rows.append(Row(c.text + QString(i, u'z'), QString(i, u'p') + c.text));
            clean.append(Row(c.expected + QString(i, u'z'), QString(i, u'p') + c.expected));
        }
    // Enough ordinary rows after them to fill several blocks.
    for (int i = 0; i < 30000; ++i) {
        rows.append(Row(QStringLiteral("曲 %1.mp3").arg(i), QStringLiteral("/music/f/%1.mp3").arg(i)));
        clean.append(rows.back());
    }
    QByteArray expected;
    for (const TrackEntry& r : clean) {
        for (int c = 0; c < kTrackColumnCount; ++c)
            expected += QByteArray::number(c) + ':' + r.columns[c].toUtf8() + "\r\n";
        expected += "@\r\n";
    }
    const QString file = Q(dir.file("big.kvt"));
    TrackRows packed;
    for (const TrackEntry& r : rows)
        packed.Append(r);
    for (bool durable : {false, true}) {
        ASSERT_TRUE(WriteListFile(file, rows, durable));
        EXPECT_TRUE(Bytes(file) == expected);
        std::string encoded;
        EncodeListRecords(rows, encoded);
        EXPECT_TRUE(QByteArray::fromStdString(encoded) == expected);
        // The rows as a view keeps them write the same bytes.
        ASSERT_TRUE(WriteListRows(file, packed, durable));
        EXPECT_TRUE(Bytes(file) == expected);
    }
    // What the reader keeps of a line is its own rule; short rows read back whole.
    const ListReadResult back = ReadListFile(file, false);
    ASSERT_EQ(back.rows.size(), rows.size());
    for (size_t k = 0; k + 1 < std::size(cases); ++k) {
        SCOPED_TRACE(cases[k].what);
        EXPECT_EQ(back.rows[qsizetype(k * 9)][ColPath], clean[qsizetype(k * 9)][ColPath]);
    }
}

// Rows are kept with some columns left out when the path and the byte count give them; every
// column must still read back exactly, derived or not, through every way rows are read.
TEST(ListFileFormat, CompactRowsGiveEveryColumnBackAsItWas) {
    auto make = [](QString file, QString path, QString size, QString padded) {
        TrackEntry r;
        r[ColFile] = file;
        r[ColArtist] = QStringLiteral("歌手");
        r[ColTitle] = QStringLiteral("題");
        r[ColSize] = size;
        r[ColKind] = QStringLiteral("mp3");
        r[ColTime] = QStringLiteral("3：05");
        r[ColPath] = path;
        r[ColDefaultSize] = padded;
        r.icon = QStringLiteral("mp3");
        return r;
    };
    QVector<TrackEntry> rows = {
        make("曲.mp3", "/m/a/曲.mp3", "4.12MB", "0004123456"),    // everything derivable
        make("other.mp3", "/m/a/曲.mp3", "4.12MB", "0004123456"), // name unlike the path's
        make("曲.mp3", "/m/a/曲.mp3", "4.00MB", "0004123456"),    // size unlike the count
        make("曲.mp3", "/m/a/曲.mp3", "4.12MB", "4123456"),       // count not padded
        make("曲.mp3", "/m/a/曲.mp3", "12B", "00000000012"),      // padded once too often
        make("x.mp3", "x.mp3", "0B", "0000000000"),               // no folder
        make("x.mp3", "/x.mp3", "", "12345678901234567890123"),   // the root folder, a long number
        make("", "", "", ""),                                     // nothing at all
        make("a\rb", "/m/b/a\nb.mp3", "1B", "0000000001"),        // line breaks
    };
    rows[7].icon.clear();
    rows[8][ColKind] = kKindDirectory;
    rows[8][ColArtist] = QStringLiteral("nul\0inside");
    rows[8][ColStart] = QStringLiteral("1.5");
    TrackRows packed;
    for (const TrackEntry& r : rows)
        packed.Append(r);
    ASSERT_EQ(packed.Count(), rows.size());
    for (int i = 0; i < packed.Count(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(packed.Entry(i).columns, rows[i].columns);
        EXPECT_EQ(packed.Entry(i).icon, rows[i].icon);
        for (int c = 0; c < kTrackColumnCount; ++c)
            EXPECT_EQ(packed.Text(i, c), rows[i][c]) << c;
    }
    EXPECT_TRUE(packed.IsDirectory(8));
    EXPECT_EQ(packed.LastRowWithPath("/m/a/曲.mp3"), 4);
    EXPECT_EQ(packed.LastRowWithPath("x.mp3"), 5);
    EXPECT_EQ(packed.LastRowWithPath("/x.mp3"), 6);
    EXPECT_EQ(packed.LastRowWithPath("/m/a/曲.mp"), -1);
    EXPECT_EQ(packed.LastRowWithPath("/m/c/曲.mp3"), -1);

    // Removing rows frees their texts once they outweigh the rest; the rows left are untouched.
    TrackRows many;
    QVector<TrackEntry> copies;
    for (int i = 0; i < 40000; ++i)
        copies.append(rows[i % rows.size()]);
    many.Insert(0, copies);
    QVector<TrackEntry> shared = rows; // a list still shared is read, not emptied
    many.Insert(1, shared);
    many.Remove(1 + rows.size(), many.Count() - 1);
    ASSERT_EQ(many.Count(), rows.size() + 1);
    for (int i = 0; i < rows.size(); ++i)
        EXPECT_EQ(many.Entry(i + 1).columns, rows[i].columns) << i;
}

TEST(ListFileFormat, LenientReaderRules) {
    kvtest::TempDir dir;
    const QString file = Q(dir.file("a.kvt"));
    struct Case {
        const char* name;
        QByteArray bytes;
        QStringList files; // column 0 of each row
        bool lossy;
    } cases[] = {
        {"only a file name", "0:a.mp3\r\n@\r\n", {"a.mp3"}, false},
        {"comments anywhere", ";x\r\n0:a\r\nK1:zz\r\n@\r\n;\r\n0:b\r\n@\r\n", {"a", "b"}, true},
        {"numbered line before any row", "3:x\r\n0:a\r\n@\r\n", {"a"}, true},
        {"cut mid-record", "0:a\r\n1:x\r\n@\r\n0:b\r\n1:y", {"a", "b"}, false},
        {"LF and lone CR line ends", "0:a\n@\n0:b\r@\r", {"a", "b"}, false},
        {"any other first character starts a row", "X\r\nab\r\n", {"", ""}, false},
        {"blank lines add nothing", "\r\n0:a\r\n\r\n@\r\n\r\n", {"a"}, false},
    };
    for (const Case& c : cases) {
        Put(file, c.bytes);
        ListReadResult r = ReadListFile(file);
        QStringList files;
        for (const TrackEntry& row : r.rows)
            files << row[ColFile];
        EXPECT_EQ(files, c.files) << c.name;
        EXPECT_EQ(r.lossy, c.lossy) << c.name;
    }
    // The row of the first case: everything but the name empty, and a broken link.
    Put(file, "0:a.mp3\r\n@\r\n");
    TrackEntry row = ReadListFile(file).rows.value(0);
    EXPECT_EQ(row.icon, kIconNothing);
    EXPECT_EQ(row[ColKind], kKindNothing);
    for (int c = 1; c < kTrackColumnCount; ++c)
        if (c != ColKind) EXPECT_TRUE(row[c].isEmpty()) << c;
}

TEST(ListFileFormat, ReadsCp932ListsOfTheWindowsProgram) {
    kvtest::TempDir dir;
    const QString file = Q(dir.file("old.kvt"));
    // "0:曲.mp3" and "1:ＡＢ" in CP932, with an NEC special (①) that Shift-JIS proper lacks.
    Put(file, QByteArray("0:\x8b\xc8.mp3\r\n1:\x82\x60\x82\x61\x87\x40\r\n@\r\n"));
    ListReadResult r = ReadListFile(file);
    ASSERT_EQ(r.rows.size(), 1);
    EXPECT_EQ(r.rows[0][ColFile], QStringLiteral("曲.mp3"));
    EXPECT_EQ(r.rows[0][ColArtist], QStringLiteral("ＡＢ①"));
}

TEST(ListFileFormat, RowsOfExistingFilesGetTheirIconWhetherTheirFolderIsListedOrAsked) {
    kvtest::TempDir dir;
    QVector<TrackEntry> rows;
    for (int i = 0; i < 6; ++i) {
        const QString path = Q(dir.file("t" + std::to_string(i) + ".mp3"));
        Put(path, "x");
        rows.append(Row(QFileInfo(path).fileName(), path));
    }
    Put(Q(dir.file("t1.txt")), "lyrics");
    rows.append(Row("gone.mp3", Q(dir.file("gone.mp3"))));
    rows.append(Row("lone.wav", Q(dir.file("sub/lone.wav"))));
    ASSERT_TRUE(QDir().mkpath(Q(dir.file("sub"))));
    Put(Q(dir.file("sub/lone.wav")), "x");
    Put(Q(dir.file("sub/lone.txt")), "x");
    CheckRowFiles(rows);
    EXPECT_EQ(rows[0].icon, QStringLiteral("mp3"));
    EXPECT_EQ(rows[1].icon, QStringLiteral("wordsmp3"));
    EXPECT_EQ(rows[6].icon, kIconNothing);
    EXPECT_EQ(rows[6][ColKind], kKindNothing);
    EXPECT_EQ(rows[7].icon, QStringLiteral("wordswav")); // asked directly: alone in its folder
    EXPECT_EQ(rows[7][ColKind], QStringLiteral("mp3"));  // an existing row keeps its kind
}

TEST(ListFileFormat, RowsOfInterleavedFoldersAndKindsEachGetTheirOwnIcon) {
    kvtest::TempDir dir;
    ASSERT_TRUE(QDir().mkpath(Q(dir.file("a"))) && QDir().mkpath(Q(dir.file("b"))));
    QVector<TrackEntry> rows;
    for (int i = 0; i < 5; ++i) {
        for (const char* folder : {"a", "b"}) {
            const std::string ext = folder[0] == 'a' ? ".mp3" : ".wav";
            const QString path = Q(dir.file(std::string(folder) + "/" + std::to_string(i) + ext));
            if (i != 3) Put(path, "x"); // row 3 of each folder is gone
            rows.append(Row(QFileInfo(path).fileName(), path));
        }
    }
    Put(Q(dir.file("b/2.txt")), "lyrics");
    CheckRowFiles(rows);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rows[2 * i].icon, i == 3 ? kIconNothing : QStringLiteral("mp3"));
        EXPECT_EQ(rows[2 * i + 1].icon, i == 3 ? kIconNothing : i == 2 ? QStringLiteral("wordswav") : QStringLiteral("wav"));
        EXPECT_EQ(rows[2 * i][ColKind], i == 3 ? kKindNothing : QStringLiteral("mp3"));
    }
}

// Lines read as views are the lines read as copies, wherever they fall in the read buffer.
TEST(ListFileFormat, LineViewsAreTheSameLinesAsCopies) {
    kvtest::TempDir dir;
    std::string text = "\xEF\xBB\xBF" "first\r\n";
    for (int i = 0; text.size() < (3u << 20); ++i) {
        text += std::string(size_t(i % 97), char('a' + i % 26));
        text += i % 5 == 0 ? "\n" : i % 7 == 0 ? "\r" : "\r\n";
        if (i % 1000 == 0) text += std::string(70000, 'x') + "\r\n"; // over the cap below
    }
    text += "no end";
    const QString path = Q(dir.file("lines.kvt"));
    Put(path, QByteArray::fromStdString(text));
    LineReader copies(path, 65536), views(path, 65536);
    QByteArray copy;
    std::string_view view;
    int lines = 0;
    for (;;) {
        const bool more = copies.NextBytes(copy);
        ASSERT_EQ(views.NextView(view), more) << lines;
        if (!more) break;
        ASSERT_EQ(view, std::string_view(copy.constData(), size_t(copy.size()))) << lines;
        ASSERT_EQ(views.Offset(), copies.Offset()) << lines;
        ++lines;
    }
    EXPECT_GT(lines, 20000);
    EXPECT_TRUE(views.AnyLineCut());
}

TEST(ListFileFormat, DamagedFilesLoadWhatCanBeReadAndSayTheyAreIncomplete) {
    kvtest::TempDir dir;
    const QString file = Q(dir.file("bad.kvt"));
    // Random bytes: rows of whatever it is, no crash.
    QByteArray noise(256 * 1024, '\0');
    uint32_t seed = 7;
    for (char& c : noise)
        c = char((seed = seed * 1103515245 + 12345) >> 16);
    Put(file, noise);
    ListReadResult r = ReadListFile(file);
    EXPECT_TRUE(r.opened);

    // A 30 MB line: streamed, capped, the rows after it still read.
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("0:");
        const QByteArray chunk(1 << 20, 'x');
        for (int i = 0; i < 30; ++i)
            f.write(chunk);
        f.write("\r\n@\r\n0:after\r\n@\r\n");
    }
    r = ReadListFile(file);
    ASSERT_EQ(r.rows.size(), 2);
    EXPECT_LE(r.rows[0][ColFile].size(), kMaxLineBytes);
    EXPECT_EQ(r.rows[1][ColFile], QStringLiteral("after"));
    EXPECT_TRUE(r.lossy);
}

TEST(ListFilePair, WorkingCopyNeverSharesAWriteWithItsCommittedFile) {
    kvtest::TempDir dir;
    const QString folder = Q(dir.path());
    ASSERT_TRUE(WriteListFile(CommittedPath(folder, "a"), {Row("1", "/1")}, true));
    const QByteArray committed = Bytes(CommittedPath(folder, "a"));
    MakeWorkingCopies(folder, {"a"});
    EXPECT_EQ(Bytes(WorkingPath(folder, "a")), committed);

    ASSERT_TRUE(WriteListFile(WorkingPath(folder, "a"), {Row("2", "/2")}, false));
    EXPECT_EQ(Bytes(CommittedPath(folder, "a")), committed);
    ASSERT_TRUE(CommitWorkingCopy(folder, "a"));
    EXPECT_EQ(Bytes(CommittedPath(folder, "a")), Bytes(WorkingPath(folder, "a")));
    ASSERT_TRUE(WriteListFile(CommittedPath(folder, "a"), {}, true));
    EXPECT_NE(Bytes(WorkingPath(folder, "a")), QByteArray());

    // No working copy: the committed file stays.
    QFile::remove(WorkingPath(folder, "a"));
    EXPECT_FALSE(CommitWorkingCopy(folder, "a"));
    EXPECT_TRUE(QFile::exists(CommittedPath(folder, "a")));
}

TEST(ListFilePair, ACrashBetweenStepsOfASaveLeavesLoadableLists) {
    kvtest::TempDir dir;
    const QString folder = Q(dir.path());
    const QVector<TrackEntry> old = {Row("old", "/old")};
    ASSERT_TRUE(WriteListFile(CommittedPath(folder, "a"), old, true));
    MakeWorkingCopies(folder, {"a"});

    // The crash comes just before a temporary takes its target's name.
    SetListSaveHookForTest([](const QString&) { return false; });
    EXPECT_FALSE(WriteListFile(CommittedPath(folder, "a"), {Row("new", "/new")}, true));
    EXPECT_FALSE(CopyListFile(CommittedPath(folder, "a"), WorkingPath(folder, "a"), false));
    SetListSaveHookForTest({});
    EXPECT_EQ(ReadListFile(CommittedPath(folder, "a"), false).rows.value(0)[ColFile], QStringLiteral("old"));
    EXPECT_EQ(ReadListFile(WorkingPath(folder, "a"), false).rows.value(0)[ColFile], QStringLiteral("old"));
    EXPECT_EQ(EnumerateLists(folder), QStringList{"a"}); // the stray temporaries are no lists

    // The stray temporary of the copy may be a hard link to the committed file: the next save
    // of the working copy must replace it, not write through it.
    ASSERT_TRUE(WriteListFile(WorkingPath(folder, "a"), {}, false));
    EXPECT_EQ(ReadListFile(CommittedPath(folder, "a"), false).rows.size(), 1);
    EXPECT_EQ(Bytes(WorkingPath(folder, "a")), QByteArray());
}

TEST(ListFilePair, EnumerateAndDeleteWorkingCopies) {
    kvtest::TempDir dir;
    const QString folder = Q(dir.path());
    for (const char* name : {"a.kvt", "リスト.kvt", ".kvt", "b.KVT", "x.backup", "a.backup", "note.txt"})
        Put(Q(dir.file(name)), "");
    QStringList names = EnumerateLists(folder);
    names.sort();
    EXPECT_EQ(names, (QStringList{"a", "リスト"}));
    DeleteWorkingCopies(folder);
    EXPECT_FALSE(QFile::exists(Q(dir.file("x.backup"))));
    EXPECT_FALSE(QFile::exists(Q(dir.file("a.backup"))));
    EXPECT_TRUE(QFile::exists(Q(dir.file("a.kvt"))));
}

TEST(ImportLines, WhichLinesNameWhichTrack) {
    const QString folder = QStringLiteral("/lists");
    struct Case {
        const char* line;
        bool playlist;
        const char* path;
    } cases[] = {
        {"/music/a.mp3", false, "/music/a.mp3"},
        {"  /music/a.mp3\t3:59", false, "/music/a.mp3"}, // anything after the extension goes
        {"/music/b.mpeg", false, "/music/b.mpeg"},       // four letters, not cut to ".mpe"
        {"/music/c.midi", false, "/music/c.midi"},
        {"/music/d.m1v", false, "/music/d.m1v"},
        {"/music/e.txt", false, ""},
        {"/music/f.mp3x", false, ""},
        {"/music/noext", false, ""},
        {"music/a.mp3", false, ""}, // relative: only from a playlist file
        {"music/a.mp3", true, "/lists/music/a.mp3"},
        {"..\\up\\a.wav", true, "/up/a.wav"},
        {"#EXTINF:123,Artist - /x/y.mp3", true, ""},
        {"File2=/music/g.wma", true, "/music/g.wma"},
        {"Title2=/music/g.wma", true, ""},
        {"file:///music/%E6%9B%B2.mp3", true, "/music/曲.mp3"},
        {"http://radio/stream.mp3", true, ""},
        {"C:\\music\\a.mp3", true, ""}, // a Windows drive names no file here
    };
    for (const Case& c : cases)
        EXPECT_EQ(ImportLinePath(QString::fromUtf8(c.line), folder, c.playlist), QString::fromUtf8(c.path))
            << c.line;
}

TEST(ImportLines, PlaylistFilesAreKnownByExtensionOrHeaderAndDuplicatesGo) {
    kvtest::TempDir dir;
    const QString list = Q(dir.file("mix.txt"));
    Put(list, "#EXTM3U\r\n#EXTINF:1,x\r\na.mp3\r\n/abs/b.mp3\r\na.mp3\r\n./a.mp3\r\n");
    EXPECT_EQ(ReadImportPaths(list), (QStringList{Q(dir.file("a.mp3")), "/abs/b.mp3"}));
    Put(list, "a.mp3\r\n/abs/b.mp3\r\n");
    EXPECT_EQ(ReadImportPaths(list), QStringList{"/abs/b.mp3"});
}
