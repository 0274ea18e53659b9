#include "playback/midi_backend.h"

namespace kv::playback {

bool EnginePcmOutput::Play(std::shared_ptr<engine::PcmSource> source) {
    return engine::ExternalPlay(std::move(source));
}
void EnginePcmOutput::Pause() {
    engine::ExternalPause();
}
void EnginePcmOutput::Resume() {
    engine::ExternalResume();
}
void EnginePcmOutput::Stop() {
    engine::ExternalStop();
}
bool EnginePcmOutput::Seek(double seconds) {
    return engine::ExternalSeek(seconds);
}
double EnginePcmOutput::Position() {
    return engine::ExternalPosition();
}
int EnginePcmOutput::State() {
    return engine::ExternalState();
}

} // namespace kv::playback
