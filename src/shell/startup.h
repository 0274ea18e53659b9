// The entry procedure: the runtime check, the hand-off to a running copy, or the splash
// window and the main window.
#pragma once
#include <QString>
#include <QStringList>

namespace kv::shell {

// Everything the program needs at run time is linked in or installed with its packages, so
// the loader would refuse to start before any code of ours ran; the one file it loads by path
// (the MIDI soundfont) is optional and reported when a MIDI file plays. Nothing can be missing
// here, and the check always succeeds.
bool CheckRuntimeFiles();

// The command line as one string: the arguments joined with blanks.
QString CommandLineOf(const QStringList& arguments);

// What decides the window system Qt connects to.
struct WindowSystemEnvironment {
    QString qpaPlatform;           // QT_QPA_PLATFORM
    bool platformArgument = false; // -platform on the command line
    QString waylandDisplay;        // WAYLAND_DISPLAY
    QString sessionType;           // XDG_SESSION_TYPE
    QString x11Display;            // DISPLAY
};
// The platform to ask Qt for, empty for Qt's own choice. A Wayland session ignores window
// positions and stay-on-top and hides the pointer from a hidden window, all of which stealth
// mode lives on: where XWayland is there and the user chose nothing, the program runs on it.
QString WindowSystemToRequest(const WindowSystemEnvironment& env);

// Runs the whole program; returns the process exit code.
int RunProgram(int argc, char** argv);

// Ends the process once ShutdownMainWindow has saved everything and let the engine go. Code
// that was waiting in a nested event loop (a folder walk, a wait for the player) must never
// run on over what the shutdown freed or deleted, and taking every widget and library apart
// one by one would only make the end later: the system frees it all.
[[noreturn]] void EndProcessNow(int status);

} // namespace kv::shell
