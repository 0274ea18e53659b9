// Work handed to the desktop: the tray icon, the folder picker, opening a document or web
// address, a file's properties, and sending files to the trash.
#pragma once
#include <QIcon>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>

class QSystemTrayIcon;
class QWidget;

namespace kv::shell {

// Tray notifications, numbered as the main window's handler expects them.
enum TrayMessageCode { kTrayLeftDown = 513, kTrayLeftUp = 514, kTrayDoubleClick = 515, kTrayRightDown = 516 };

// The tray icon: at most one, from start-up to shutdown. Where the desktop has no tray the
// program runs on without one.
class TrayIcon : public QObject {
    Q_OBJECT
  public:
    explicit TrayIcon(std::function<void(int)> onMessage, QObject* parent = nullptr);
    bool AddTrayIcon(const QIcon& icon, const QString& tip);
    void RemoveTrayIcon();
    bool IsShown() const;
    QString Tip() const { return tip_; }
    // The tip shown: cut to 63 bytes, never inside a character.
    static QString CutTip(const QString& tip);

  private:
    std::function<void(int)> onMessage_;
    QSystemTrayIcon* icon_ = nullptr;
    QString tip_;
};

QString BrowseForFolder(QWidget* owner, const QString& title);

// Opens a document or address with the desktop; with `wait`, returns only after the program
// that opened it has ended, letting window events run every 100 ms.
class CShell {
  public:
    ~CShell() { destroying_ = true; }
    bool ShellX(const QString& target, QWidget* owner, bool wait);

  private:
    std::atomic<bool> destroying_{false};
};

// A properties window of our own: name, folder, size, dates, type, and track information for
// audio files. False when the path does not exist.
bool ShowProperties(const QString& path, QWidget* owner);

// Where the system keeps its libraries.
QString GetSystemFolder();

// Moves a file or folder to the desktop's trash; 0 on success.
int MoveToRecycleBin(const QString& path);

// The maker's home page and mail address, shown in the about window.
inline constexpr char kHomePage[] = "https://kavetto.invalid/";
inline constexpr char kMailAddress[] = "kavetto@kavetto.invalid";

// IDMPlayerhelp: the help file beside the program, or a message that it is missing.
void OpenHelpFile();
// IDMversion: the program's name, version, mail address and home page.
void ShowAboutWindow(QWidget* owner);

} // namespace kv::shell
