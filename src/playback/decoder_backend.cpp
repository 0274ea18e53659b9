#include "playback/decoder_backend.h"

namespace kv::playback {

bool Vbmp3Decoder::Open(const char* fileName, VBMP3_TRACK_INFO* info) {
    return vbmp3_open(fileName, info) != 0;
}
void Vbmp3Decoder::Close() {
    vbmp3_close();
}
bool Vbmp3Decoder::Play() {
    return vbmp3_play() != 0;
}
void Vbmp3Decoder::Stop() {
    vbmp3_stop();
}
void Vbmp3Decoder::Pause() {
    vbmp3_pause();
}
void Vbmp3Decoder::Restart() {
    vbmp3_restart();
}
void Vbmp3Decoder::Seek(int seconds) {
    vbmp3_seek(seconds);
}
int Vbmp3Decoder::GetState(int* seconds) {
    return vbmp3_getState(seconds);
}
bool Vbmp3Decoder::Drained() {
    return vbmp3_isDrained() != 0;
}
bool Vbmp3Decoder::QueueNext(const char* fileName, double start, double end, int volume,
                             VBMP3_TRACK_INFO* info) {
    return vbmp3_queueNext(fileName, start, end, volume, info) != 0;
}
void Vbmp3Decoder::DropQueue() {
    vbmp3_dropQueue();
}
void Vbmp3Decoder::SetEnd(double seconds) {
    vbmp3_setEnd(seconds);
}
int Vbmp3Decoder::Switches() {
    return vbmp3_getSwitches();
}
void Vbmp3Decoder::GetVolume(int* left, int* right) {
    vbmp3_getVolume(left, right);
}
void Vbmp3Decoder::SetVolume(int left, int right) {
    vbmp3_setVolume(left, right);
}

} // namespace kv::playback
