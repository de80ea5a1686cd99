#pragma once

#include <QString>

// Plays the wave files of the sound settings. The GUI plays them through the desktop's
// audio; tests record what would have played.
class ISoundPlayer {
public:
    virtual ~ISoundPlayer() = default;
    // Starts the file asynchronously, stopping any sound still playing. An empty name or
    // a file that cannot be played is silently ignored.
    virtual void Play(const QString& fileName) = 0;
    virtual void Stop() = 0;
};
