#pragma once

#include "platform/SoundPlayer.h"

#include <memory>

class QSoundEffect;

// Wave files played through Qt Multimedia. One effect at a time: a new sound stops the last.
class TSoundEffectPlayer : public ISoundPlayer {
public:
    TSoundEffectPlayer();
    ~TSoundEffectPlayer() override;
    void Play(const QString& fileName) override;
    void Stop() override;

private:
    std::unique_ptr<QSoundEffect> Effect_;
};
