#include "tools/encode_run.h"

#include "engine/vbmp3.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "playlists/track_info.h"

#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace kv::tools {
namespace {

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;

const QString kErrorTitle = QStringLiteral("エラー");

bool IsWaveExtension(const QString& ext) {
    return ext == u"wav" || ext == u"wave";
}

} // namespace

bool IsMp3Source(const QString& ext) {
    static const QStringList kLossless = {
        QStringLiteral("flac"), QStringLiteral("wv"),   QStringLiteral("ape"), QStringLiteral("tta"),
        QStringLiteral("m4a"),  QStringLiteral("alac"), QStringLiteral("aif"), QStringLiteral("aiff")};
    return IsWaveExtension(ext) || kLossless.contains(ext);
}

namespace {

QString BaseNameOf(const QString& path) {
    const QString name = platform::FileNameOf(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? name : name.left(dot);
}

std::filesystem::path FsPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

class EngineConversion : public ConversionEngine {
  public:
    bool EncodeOpen(const QString& wavePath) override {
        const VBMP3_ENCODE_OPTIONS defaults{};
        return vbmp3_encodeOpen(QFile::encodeName(wavePath).constData(), &defaults) != 0;
    }
    bool EncodeStart(const QString& mp3Path) override {
        return vbmp3_encodeStart(QFile::encodeName(mp3Path).constData()) != 0;
    }
    bool DecodeFile(const QString& mp3Path, const QString& wavePath) override {
        return vbmp3_decodeFile(QFile::encodeName(mp3Path).constData(),
                                QFile::encodeName(wavePath).constData()) != 0;
    }
    void Stop() override { vbmp3_encodeStop(); }
    State Poll(int& seconds) override { return State(vbmp3_getEncodeState(&seconds)); }
};

} // namespace

std::unique_ptr<ConversionEngine> MakeEngineConversion() {
    return std::make_unique<EngineConversion>();
}

int SourcePlayLength(const QString& path) {
    const QString ext = platform::ExtensionOf(path);
    if (IsWaveExtension(ext)) return std::max(0, playlists::ReadWaveDuration(path));
    if (ext == u"mp3" || IsMp3Source(ext)) {
        VBMP3_FILE_INFO info{};
        if (vbmp3_getFileInfo(QFile::encodeName(path).constData(), nullptr, &info))
            return std::max(0, int(info.playTime));
    }
    return 0;
}

EncodeRun::EncodeRun(EncodeRunHost& host, std::unique_ptr<ConversionEngine> engine)
    : host_(host), engine_(std::move(engine)) {}

EncodeRun::~EncodeRun() {
    CutShort();
}

void EncodeRun::CutShort() {
    if (converting_) {
        engine_->Stop();
        converting_ = false;
    }
    DiscardPartial();
    // A tick waiting under a question ends the run when it returns.
    if (state_ != kIdle) state_ = kFinish;
}

QString EncodeRun::DestinationFolder(const QString& text) {
    return text.endsWith(u'/') ? text : text + u'/';
}

QString EncodeRun::DestinationPath(const QString& folder, const QString& source) {
    return folder + BaseNameOf(source) +
           (IsMp3Source(platform::ExtensionOf(source)) ? QStringLiteral(".mp3") : QStringLiteral(".wav"));
}

void EncodeRun::CommandEncode() {
    if (state_ != kIdle) return;
    const QString folder = DestinationFolder(host_.DestinationText());
    if (host_.SourcePaths().isEmpty()) {
        platform::ShowMessage(QStringLiteral("「変換するファイル」がありません。"), MsgButtons::Ok,
                              MsgIcon::None, kErrorTitle);
        return;
    }
    if (!platform::FolderExists(folder)) {
        platform::ShowMessage(QStringLiteral("「保存先」のフォルダが存在しません。"), MsgButtons::Ok,
                              MsgIcon::None, kErrorTitle);
        return;
    }
    state_ = kStart;
    percent_ = 0;
    host_.ShowPercent(0);
    host_.SetTimerEnabled(true);
    host_.ShowProgress();
}

void EncodeRun::Tick() {
    // A message box shown inside a tick lets the timer tick again under it.
    if (ticking_) return;
    ticking_ = true;
    while (Step()) {
    }
    ticking_ = false;
}

void EncodeRun::Abort() {
    if (state_ == kIdle) return;
    state_ = kFinish;
    Tick();
}

void EncodeRun::WatchEnd() {
    int seconds = 0;
    if (state_ == kConverting && !ticking_ && engine_->Poll(seconds) != ConversionEngine::State::Running)
        Tick();
}

bool EncodeRun::Step() {
    switch (state_) {
    case kStart:
        sources_ = host_.SourcePaths();
        totalLength_ = 0;
        for (const QString& path : sources_)
            totalLength_ += SourcePlayLength(path);
        doneLength_ = 0;
        fileNumber_ = 0;
        destinationFolder_ = DestinationFolder(host_.DestinationText());
        state_ = kNextFile;
        return true;
    case kIdle:
        return false;
    case kNextFile:
        return StartNextFile();
    case kConverting:
        return PollCurrentFile();
    case kFinish:
        Finish();
        return false;
    }
    return false;
}

bool EncodeRun::StartNextFile() {
    ++fileNumber_;
    if (fileNumber_ > sources_.size()) {
        engine_->Stop();
        percent_ = 100;
        host_.ShowPercent(100);
        state_ = kFinish;
        return true;
    }
    sourcePath_ = sources_.at(fileNumber_ - 1);
    baseName_ = BaseNameOf(sourcePath_);
    extension_ = platform::ExtensionOf(sourcePath_);
    sourceLength_ = SourcePlayLength(sourcePath_);
    outputLength_ = 0;
    destinationPath_ = DestinationPath(destinationFolder_, sourcePath_);

    // An existing file is replaced only when the user says so, and the source never is.
    std::error_code ec;
    if (std::filesystem::equivalent(FsPath(destinationPath_), FsPath(sourcePath_), ec)) {
        platform::ShowMessage(QStringLiteral("「%1」は変換元のファイルそのものなので、変換しません。")
                                  .arg(platform::FileNameOf(destinationPath_)),
                              MsgButtons::Ok, MsgIcon::Exclamation, kErrorTitle);
        doneLength_ += sourceLength_;
        return true;
    }
    if (std::filesystem::exists(FsPath(destinationPath_), ec)) {
        const MsgAnswer answer = platform::ShowMessage(
            QStringLiteral(
                "「%1」は既に存在します。\n置き換えますか？（「いいえ」ではこのファイルを変換しません。）")
                .arg(destinationPath_),
            MsgButtons::YesNo, MsgIcon::Question, QStringLiteral("ファイル変換"));
        if (state_ != kNextFile) return true; // stopped while the question was open
        if (answer != MsgAnswer::Yes) {
            doneLength_ += sourceLength_;
            ShowRunPercent(0);
            return true;
        }
    }

    const QString cannotStart =
        baseName_ + extension_ + QStringLiteral("のファイル変換を開始できませんでした。");
    if (!MakePartialFile()) return FailFile(cannotStart);
    if (IsMp3Source(extension_)) {
        if (!engine_->EncodeOpen(sourcePath_))
            return FailFile(baseName_ + extension_ + QStringLiteral("を開くのに失敗しました。"));
        if (!engine_->EncodeStart(partialPath_)) return FailFile(cannotStart);
    } else if (!engine_->DecodeFile(sourcePath_, partialPath_)) {
        return FailFile(cannotStart);
    }
    converting_ = true;
    state_ = kConverting;
    return false;
}

bool EncodeRun::PollCurrentFile() {
    int seconds = 0;
    switch (engine_->Poll(seconds)) {
    case ConversionEngine::State::Running:
        // The percent only measures; the engine alone says when a file is done, so a source
        // whose length reads as 0 or as too long neither divides by zero nor stalls the run.
        outputLength_ = std::min(seconds, sourceLength_);
        ShowRunPercent(outputLength_);
        return false;
    case ConversionEngine::State::Finished: {
        engine_->Stop();
        converting_ = false;
        // The engine has synced the output, so the final name never shows a short file.
        std::error_code ec;
        std::filesystem::rename(FsPath(partialPath_), FsPath(destinationPath_), ec);
        if (ec) return FailFile(baseName_ + extension_ + QStringLiteral("のファイル変換に失敗しました。"));
        partialPath_.clear();
        doneLength_ += sourceLength_;
        outputLength_ = 0;
        ShowRunPercent(0);
        state_ = kNextFile;
        return true;
    }
    default:
        return FailFile(baseName_ + extension_ + QStringLiteral("のファイル変換に失敗しました。"));
    }
}

void EncodeRun::ShowRunPercent(int outputSeconds) {
    double fraction = 0;
    if (totalLength_ > 0)
        fraction = double(doneLength_ + outputSeconds) / double(totalLength_);
    else if (!sources_.isEmpty())
        fraction = double(fileNumber_ - 1) / double(sources_.size());
    // Halves to even, as the display always rounded; 100 is kept for the end of the run.
    const int percent = int(std::nearbyint(std::clamp(fraction, 0.0, 1.0) * 100));
    percent_ = std::clamp(percent, percent_, 99);
    host_.ShowPercent(percent_);
}

bool EncodeRun::FailFile(const QString& message) {
    engine_->Stop();
    converting_ = false;
    DiscardPartial();
    platform::ShowMessage(message, MsgButtons::Ok, MsgIcon::Critical, kErrorTitle);
    state_ = kFinish;
    return true;
}

void EncodeRun::Finish() {
    engine_->Stop();
    if (converting_) {
        converting_ = false;
        DiscardPartial();
    }
    host_.SetTimerEnabled(false);
    host_.CloseProgress();
    state_ = kIdle;
}

void EncodeRun::DiscardPartial() {
    if (partialPath_.isEmpty()) return;
    QFile::remove(partialPath_);
    partialPath_.clear();
}

bool EncodeRun::MakePartialFile() {
    // Hidden, beside the final name (a rename within one file system), created here so that
    // no file of the user's can be taken over.
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString path = destinationFolder_ + u'.' + baseName_ + u'.' +
                             QString::number(QRandomGenerator::global()->generate(), 36) +
                             QStringLiteral(".part");
        const int fd =
            ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            partialPath_ = path;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

} // namespace kv::tools
