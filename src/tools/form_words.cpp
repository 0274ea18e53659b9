// Threads: everything here runs on the UI thread except ReadLyricsText for a large file, which
// runs on a QThreadPool thread and touches nothing but its own copy of the path. Its text comes
// back through a queued call on the application object, which drops it when the window is gone
// or a newer LoadLyrics has run (generation_).
#include "tools/form_words.h"

#include "platform/files.h"
#include "platform/program_folder.h"
#include "platform/twips.h"
#include "platform/window_box.h"
#include "playlists/track_list_model.h"
#include "tools/font_choice.h"
#include "tools/tool_window.h"
#include "tools/window_placement.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QThreadPool>
#include <QTimer>
#include <QVBoxLayout>

namespace kv::tools {
namespace {
using platform::PixelsToTwips;
using platform::TwipsToPixels;

// A slice of lyrics put into the text box at a time, and the time one round may take, so a
// huge file never holds the window up.
constexpr qsizetype kSliceChars = 16 * 1024;
constexpr int kSliceMillis = 15;
// A lyrics file larger than this is read and decoded on a pool thread (CP932 decoding alone
// takes about 40 ms a megabyte).
constexpr qint64 kReadInPlaceBytes = 512 * 1024;
} // namespace

FormWords::FormWords(WordsHost& host, QWidget* owner) : QWidget(owner, Qt::Window), host_(host) {
    setObjectName(QStringLiteral("FormWords"));
    setWindowTitle(QStringLiteral("歌詞"));
    CloseWithEscape(this);
    if (owner) setWindowIcon(owner->windowIcon());
    // It comes and goes with the tracks: it must not take the keyboard from whatever the user is
    // working in (a list, the equalizer's preset list) when the next track brings lyrics.
    setAttribute(Qt::WA_ShowWithoutActivating);
    textWords_ = new QPlainTextEdit(this);
    textWords_->setObjectName(QStringLiteral("TextWords"));
    textWords_->setAccessibleName(QStringLiteral("歌詞"));
    textWords_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    textWords_->setContextMenuPolicy(Qt::PreventContextMenu);
    textWords_->setAcceptDrops(true);
    textWords_->installEventFilter(this);
    textWords_->viewport()->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(textWords_);

    popup_ = new QMenu(QStringLiteral("歌詞"), this);
    popup_->setObjectName(QStringLiteral("IDMwords"));
    QAction* font = popup_->addAction(QStringLiteral("フォント"));
    font->setObjectName(QStringLiteral("IDMfont"));
    connect(font, &QAction::triggered, this, &FormWords::ChooseFont);

    font_ = ReadWordsFont(platform::SettingsFile(),
                          {textWords_->font(), textWords_->palette().color(QPalette::Text)});
    ApplyFont(font_);
    resize(TwipsToPixels(4000), TwipsToPixels(4000));
    CentreOnScreen(*this);
}

void FormWords::ApplyFont(const WordsFont& font) {
    font_ = font;
    textWords_->setFont(font.font);
    QPalette palette = textWords_->palette();
    palette.setColor(QPalette::Text, font.color);
    textWords_->setPalette(palette);
}

void FormWords::ChooseFont() {
    auto chosen = kv::tools::ChooseFont(this, font_, QStringLiteral("歌詞のフォント"));
    if (!chosen) return;
    ApplyFont(*chosen);
    WriteWordsFont(platform::SettingsFile(), *chosen);
}

void FormWords::LoadLyrics(const LyricsRequest& request) {
    const int generation = ++generation_; // a file still being read for an earlier track is dropped
    if (!request.wordsChecked || request.mediaWindowVisible) {
        FormWords_Hide();
        return;
    }
    const QString path = LyricsFileOf(request.fileName, request.extension);
    const auto size = path.isEmpty() ? std::nullopt : platform::FileSize(path);
    if (!size) {
        FormWords_Hide();
        return;
    }
    if (*size <= kReadInPlaceBytes) {
        SetLyrics(ReadLyricsText(path));
    } else {
        SetLyrics(QString());
        readingLyrics_ = true;
        QThreadPool::globalInstance()->start([path, generation, window = QPointer<FormWords>(this)] {
            QString text = ReadLyricsText(path);
            QMetaObject::invokeMethod(
                qApp,
                [text = std::move(text), generation, window] {
                    if (!window || window->generation_ != generation) return;
                    window->SetLyrics(text);
                },
                Qt::QueuedConnection);
        });
    }
    FormWords_Show();
}

void FormWords::SetLyrics(const QString& text) {
    const int generation = generation_;
    lyrics_ = text;
    pending_ = 0;
    readingLyrics_ = false;
    textWords_->clear();
    LoadNextSlice(generation);
}

void FormWords::LoadNextSlice(int generation) {
    if (generation != generation_) return;
    QElapsedTimer clock;
    clock.start();
    const bool first = pending_ == 0;
    QTextCursor end(textWords_->document());
    end.movePosition(QTextCursor::End);
    while (pending_ < lyrics_.size() && clock.elapsed() < kSliceMillis) {
        qsizetype stop = std::min(lyrics_.size(), pending_ + kSliceChars);
        // Slices end after a line end, so no line is split between two of them.
        if (stop < lyrics_.size()) {
            const qsizetype lineEnd = lyrics_.lastIndexOf(u'\n', stop - 1);
            if (lineEnd >= pending_) stop = lineEnd + 1;
        }
        end.insertText(lyrics_.mid(pending_, stop - pending_));
        pending_ = stop;
    }
    if (first) textWords_->moveCursor(QTextCursor::Start); // the lyrics show from their start
    if (pending_ < lyrics_.size()) {
        QTimer::singleShot(0, this, [this, generation] { LoadNextSlice(generation); });
    } else {
        lyrics_.clear();
        pending_ = 0;
    }
}

void FormWords::FormWords_Show() {
    if (isVisible()) return;
    const WordsPlacement g = host_.WordsWindowGeometry();
    const QSize size(TwipsToPixels(g.width), TwipsToPixels(g.height));
    const QPoint at = g.placed ? QPoint(TwipsToPixels(g.left), TwipsToPixels(g.top))
                               : platform::BesideWindow(parentWidget() ? parentWidget()->window() : nullptr, size);
    platform::PlaceWindow(*this, QRect(at, size));
    normal_ = platform::WindowBox(*this);
    platform::ShowInState(*this, g.state);
    update();
}

void FormWords::FormWords_Hide() {
    if (!isVisible()) return;
    WordsPlacement g = host_.WordsWindowGeometry();
    g.state = isMinimized() ? 1 : isMaximized() ? 2 : 0;
    // Platforms differ in what a minimised or maximised window reports as its normal
    // geometry, so the window keeps its own.
    const QRect normal = g.state == 0 ? platform::WindowBox(*this) : normal_;
    if (g.state != 0) showNormal();
    hide();
    g.width = platform::KeepTwips(normal.width(), g.width);
    g.height = platform::KeepTwips(normal.height(), g.height);
    g.left = platform::KeepTwips(normal.left(), g.left);
    g.top = platform::KeepTwips(normal.top(), g.top);
    g.placed = true;
    host_.SetWordsWindowGeometry(g);
}

void FormWords::closeEvent(QCloseEvent* event) {
    FormWords_Hide();
    if (host_.Closing())
        event->accept();
    else
        event->ignore();
}

// As on the position bar: the first dropped file, or for rows the active view's selected one.
void FormWords::Dropped(const QMimeData& data) {
    const QList<QUrl> urls = data.urls();
    QString path = urls.isEmpty() ? QString() : urls.first().toLocalFile();
    if (path.isEmpty()) path = host_.ActiveViewSelectedPath();
    if (!path.isEmpty()) host_.OpenTrack(path);
}

bool FormWords::KeyPressed(int key, Qt::KeyboardModifiers modifiers) {
    if (!(modifiers & Qt::AltModifier)) return false;
    switch (key) {
    case Qt::Key_Left:
        host_.ClickToolBarBack(4);
        return true;
    case Qt::Key_Right:
        host_.ClickToolBarBack(5);
        return true;
    case Qt::Key_Down:
        host_.ChangeVolumeBar(-2);
        return true;
    case Qt::Key_Up:
        host_.ChangeVolumeBar(2);
        return true;
    default:
        return false;
    }
}

void FormWords::moveEvent(QMoveEvent* event) {
    if (windowState() == Qt::WindowNoState && isVisible()) normal_ = platform::WindowBox(*this);
    QWidget::moveEvent(event);
}

void FormWords::resizeEvent(QResizeEvent* event) {
    if (windowState() == Qt::WindowNoState && isVisible()) normal_ = platform::WindowBox(*this);
    QWidget::resizeEvent(event);
}

bool FormWords::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
        if (watched == textWords_) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (KeyPressed(key->key(), key->modifiers())) return true;
        }
        break;
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (watched == textWords_->viewport() && mouse->button() == Qt::RightButton) {
            textWords_->setFocus();
            popup_->popup(mouse->globalPosition().toPoint());
            return true;
        }
        break;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove:
        if (watched == textWords_->viewport() || watched == textWords_) {
            auto* drag = static_cast<QDropEvent*>(event);
            const QMimeData* data = drag->mimeData();
            if (data->hasUrls() || data->hasFormat(playlists::TrackListModel::kRowsMimeType)) {
                drag->acceptProposedAction();
                return true;
            }
        }
        break;
    case QEvent::Drop:
        if (watched == textWords_->viewport() || watched == textWords_) {
            auto* drop = static_cast<QDropEvent*>(event);
            drop->acceptProposedAction();
            Dropped(*drop->mimeData());
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace kv::tools
