// The main window's side of the tool windows: the equalizer, the tag editor and the lyrics window.
#include "playback/sound_play.h"
#include "shell/form_main.h"
#include "tools/form_equalizer.h"

#include <QAction>

namespace kv::shell {

// The media windows report here once they exist; until then none is ever on screen.
bool FormMain::MediaWindowVisible() const {
    return false;
}

void FormMain::ShowEqualizer() {
    if (!formEqualizer_)
        formEqualizer_ =
            new tools::FormEqualizer(this, [this] { return device_ ? device_->Kakutyosi : QString(); });
    formEqualizer_->show();
    formEqualizer_->raise();
    formEqualizer_->activateWindow();
}

void FormMain::ShowTagEditor() {}

void FormMain::LoadLyrics(const QString&) {}

void FormMain::ConnectToolCommands() {
    connect(Item(QStringLiteral("IDMEqualizer")), &QAction::triggered, this, [this] { ShowEqualizer(); });
}

} // namespace kv::shell
