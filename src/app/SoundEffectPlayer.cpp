#include "app/SoundEffectPlayer.h"

#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

TSoundEffectPlayer::TSoundEffectPlayer() = default;
TSoundEffectPlayer::~TSoundEffectPlayer() = default;

void TSoundEffectPlayer::Play(const QString& fileName) {
    if (fileName.isEmpty() || !QFileInfo(fileName).isFile()) return;
    // A fresh effect per sound: QSoundEffect keeps loading the old source otherwise.
    Effect_ = std::make_unique<QSoundEffect>();
    Effect_->setSource(QUrl::fromLocalFile(QFileInfo(fileName).absoluteFilePath()));
    Effect_->play();
}

void TSoundEffectPlayer::Stop() {
    if (Effect_) Effect_->stop();
}
