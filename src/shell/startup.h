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

// Runs the whole program; returns the process exit code.
int RunProgram(int argc, char** argv);

// Ends the process once ShutdownMainWindow has saved everything and let the engine go. Code
// that was waiting in a nested event loop (a folder walk, a wait for the player) must never
// run on over what the shutdown freed or deleted, and taking every widget and library apart
// one by one would only make the end later: the system frees it all.
[[noreturn]] void EndProcessNow(int status);

} // namespace kv::shell
