#include "app/song_rebuild.h"

#include <new>

namespace zb::app {

TSongRebuild::TSongRebuild(std::string fileName, synth::TSongSettings settings)
    : fileName_(std::move(fileName)), settings_(std::move(settings)) {
    worker_ = std::thread([this] {
        try {
            built_ = synth::buildSong(fileName_, settings_);
            if (built_.error.ok())
                facts_ = songFacts(fileName_, settings_.drums, settings_.controls.tempoPercent);
        } catch (const std::bad_alloc&) {
            built_ = {{}, {}, 0, {synth::TLoadFailure::memory, "Memory allocation error!"}};
        }
        finished_ = true;
    });
}

TSongRebuild::~TSongRebuild() {
    if (worker_.joinable())
        worker_.join();
}

} // namespace zb::app
