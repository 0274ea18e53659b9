// The main window's tool windows: the equalizer, the tag editor, the lyrics window, the list
// repair, the sleep timer and the conversion window. UI thread only.
#pragma once
#include "shell/program_state.h"

#include <QObject>
#include <functional>

class QWidget;

namespace kv::tools {
class FormEqualizer;
class FormWords;
} // namespace kv::tools

namespace kv::shell {

struct MainControls;
class MainLists;
class MainPlayer;
class MainTree;
class TimerEncodeGlue;

class MainTools final : public QObject {
  public:
    // `saveEverything` is the window's shutdown without a question, for the sleep timer.
    MainTools(MainControls& controls, ProgramState& state, QWidget& window, MainPlayer& player,
              MainLists& lists, MainTree& tree, std::function<void()> saveEverything);
    ~MainTools() override;

    void ShowEqualizer();
    void ShowTagEditor();
    // Shows or hides the lyrics of the loaded file, as IDMwords and the media windows decide.
    void LoadLyrics();
    void RepairList(); // IDMWriteEmptyCell
    tools::FormEqualizer* Equalizer() const { return equalizer_; }
    tools::FormWords* Words() const { return words_; }
    bool SleepTimerRunning() const; // true while the sleep timer counts down

    // At the end: the lyrics window's place goes into WordsWindowGeometry before the settings are
    // saved, and a conversion cut short leaves no hidden partial file in the user's folder.
    void CloseToolWindows();
    void CutConversionShort();

  private:
    MainControls& c_;
    ProgramState& state_;
    QWidget& window_;
    MainPlayer& player_;
    MainLists& lists_;
    MainTree& tree_;
    tools::FormEqualizer* equalizer_ = nullptr; // children of the window, made on first use
    tools::FormWords* words_ = nullptr;
    TimerEncodeGlue* timerEncode_ = nullptr; // a child of the window
};

} // namespace kv::shell
