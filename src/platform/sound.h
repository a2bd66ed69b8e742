#pragma once

#include <memory>

namespace trimlet {

enum class SystemSound {
    Information,  // the "asterisk": a save that worked
    Error,        // a save that failed
};

// The desktop's event sounds. Silent, never failing, where there is no sound server.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    virtual void play(SystemSound sound) = 0;
};

// The desktop's sounds through libcanberra ("dialog-information", "dialog-error").
[[nodiscard]] std::unique_ptr<SoundPlayer> CreateSoundPlayer();

}  // namespace trimlet
