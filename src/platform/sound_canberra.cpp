// System sounds through libcanberra, which reaches the desktop's sound server.
#include <alsa/asoundlib.h>
#include <canberra.h>

#include <memory>

#include "platform/sound.h"

namespace trimlet {
namespace {

// The sound library's ALSA backend reports a missing sound device (common on servers
// and in some sessions) in eight lines on standard error at every sound. A sound that
// cannot play is not worth a word: those reports are dropped.
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

struct ContextDeleter {
    void operator()(ca_context* c) const { ca_context_destroy(c); }
};

class CanberraSoundPlayer final : public SoundPlayer {
public:
    void play(SystemSound sound) override {
        ca_context* c = context();
        if (!c) return;
        const char* id = sound == SystemSound::Information ? "dialog-information" : "dialog-error";
        // Asynchronous: the call returns at once and the sound plays on its own. A
        // missing sound or theme is not worth reporting.
        (void)ca_context_play(c, 0, CA_PROP_EVENT_ID, id, CA_PROP_CANBERRA_CACHE_CONTROL,
                              "permanent", nullptr);
    }

private:
    // Opened at the first sound; when no backend can be opened, sounds stay off.
    ca_context* context() {
        if (context_ || failed_) return context_.get();
        snd_lib_error_set_handler(IgnoreAlsaError);
        ca_context* raw = nullptr;
        if (ca_context_create(&raw) != CA_SUCCESS || !raw) {
            failed_ = true;
            return nullptr;
        }
        std::unique_ptr<ca_context, ContextDeleter> c(raw);
        if (ca_context_change_props(c.get(), CA_PROP_APPLICATION_NAME, "trimlet",
                                    CA_PROP_APPLICATION_ID, "trimlet", nullptr) != CA_SUCCESS ||
            ca_context_open(c.get()) != CA_SUCCESS) {
            failed_ = true;
            return nullptr;
        }
        context_ = std::move(c);
        return context_.get();
    }

    std::unique_ptr<ca_context, ContextDeleter> context_;
    bool failed_ = false;
};

}  // namespace

std::unique_ptr<SoundPlayer> CreateSoundPlayer() { return std::make_unique<CanberraSoundPlayer>(); }

}  // namespace trimlet
