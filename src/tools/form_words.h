// FormWords ("歌詞"): the lyrics of the loaded track in a window of its own. Made on first use,
// then only hidden and shown; FormWords_Show and FormWords_Hide keep its normal-state geometry
// in the main window's WordsWindowGeometry, so it reopens where and how it was left.
#pragma once
#include "tools/lyrics.h"

#include <QWidget>

class QMenu;
class QMimeData;
class QPlainTextEdit;

namespace kv::tools {

// Size and placement in twips; state 0 normal, 1 minimised, 2 maximised.
struct WordsPlacement {
    int height = 0;
    int width = 0;
    int left = 0;
    int top = 0;
    int state = 0;
    bool placed = true; // false: no place of its own yet, it appears beside the main window
};

// What the lyrics window reaches in the main window.
class WordsHost {
  public:
    virtual ~WordsHost() = default;
    virtual WordsPlacement WordsWindowGeometry() const = 0;
    virtual void SetWordsWindowGeometry(const WordsPlacement& placement) = 0;
    virtual bool Closing() const = 0;              // the program is ending
    virtual void ClickToolBarBack(int button) = 0; // 4 previous, 5 next track
    virtual void ChangeVolumeBar(int delta) = 0;
    virtual QString ActiveViewSelectedPath() const = 0;
    virtual void OpenTrack(const QString& path) = 0;
};

// What LoadLyrics looks at.
struct LyricsRequest {
    bool wordsChecked = false;       // IDMwords
    bool mediaWindowVisible = false; // the media player or RealPlayer window is on screen
    QString fileName;                // the player device's file
    QString extension;               // the device's Kakutyosi
};

class FormWords : public QWidget {
    Q_OBJECT
  public:
    FormWords(WordsHost& host, QWidget* owner);

    void LoadLyrics(const LyricsRequest& request);
    void FormWords_Show();
    void FormWords_Hide();

    QPlainTextEdit* TextWords() const { return textWords_; }
    QMenu* PopupMenu() const { return popup_; }
    // The text as loaded so far; a long file arrives in slices so the window keeps answering.
    void SetLyrics(const QString& text);
    bool LoadingLyrics() const { return readingLyrics_ || pending_ < lyrics_.size(); }
    void ChooseFont();                   // IDMfont
    void Dropped(const QMimeData& data); // a drop on TextWords

  protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ApplyFont(const WordsFont& font);
    void LoadNextSlice(int generation);
    bool KeyPressed(int key, Qt::KeyboardModifiers modifiers);

    WordsHost& host_;
    QPlainTextEdit* textWords_ = nullptr;
    QMenu* popup_ = nullptr;
    WordsFont font_;
    QRect normal_; // the last geometry seen in the normal state
    QString lyrics_;
    qsizetype pending_ = 0;      // where the part not yet in the text box begins
    int generation_ = 0;         // one more at each LoadLyrics
    bool readingLyrics_ = false; // a large file is being read on a pool thread
};

} // namespace kv::tools
