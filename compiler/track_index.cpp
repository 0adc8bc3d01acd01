#include "compiler/track_index.h"

#include <algorithm>

namespace zb::compiler {

std::optional<TNoteKind> controllerKind(std::uint8_t controller) {
    switch (controller) {
    case 1:
        return modulation;
    case 7:
        return volume;
    case 10:
        return pan;
    case 11:
        return expression;
    default:
        return std::nullopt;
    }
}

int releaseValue(const TTrackIndex::TEvent* end, bool pedal) {
    if (end == nullptr)
        return 64;
    switch (end->status & 0xF0) {
    case 0x80:
        return pedal ? end->d2 / 3 : end->d2;
    case 0x90:
        return end->d2 == 0 ? (pedal ? 21 : 64) : (pedal ? 42 : 127);
    default: // the end-of-track event
        return 64;
    }
}

namespace {

bool collects(const TTrackIndex::TEvent& e) {
    switch (e.status & 0xF0) {
    case 0xA0:
    case 0xD0:
    case 0xE0:
        return true;
    case 0xB0:
        return controllerKind(e.d1).has_value();
    default:
        return false;
    }
}

} // namespace

void TTrackIndex::start(TFastFile& file, std::int64_t position, std::int32_t chunkLength,
                        std::int64_t counter, std::uint8_t running, const TEvent* first) {
    *this = TTrackIndex{};
    file_ = &file;
    position_ = position;
    tokens_ = TMidiTokenizer(file, chunkLength, TTempoRule::byLength, counter, running);
    open_.assign(std::size_t{16} * 128, {}); // a list per channel and key
    started_ = true;
    if (first != nullptr)
        add(*first);
}

void TTrackIndex::add(const TEvent& e) {
    const auto i = static_cast<std::uint32_t>(events.size());
    events.push_back(e);
    endOf.push_back(none);
    const std::uint8_t kind = e.status & 0xF0;
    if (e.status == 0xFF && e.d1 == 0x2F) {
        // The end of the track ends every note still open.
        for (auto& waiting : open_) {
            for (const std::uint32_t k : waiting)
                endOf[k] = i;
            waiting.clear();
        }
    } else if ((kind == 0x80 || kind == 0x90) && e.d1 < 128) {
        auto& waiting = open_[(e.status & 0x0Fu) * 128 + e.d1];
        for (const std::uint32_t k : waiting)
            endOf[k] = i;
        waiting.clear();
        if (kind == 0x90)
            waiting.push_back(i);
    }
    if (e.status < 0xF0 && collects(e))
        channelEvents[e.status & 0x0F].push_back(i);
}

bool TTrackIndex::parseEvent() {
    for (;;) {
        switch (tokens_.next()) {
        case TMidiTokenizer::delta:
            continue;
        case TMidiTokenizer::event: {
            const TMidiEvent& m = tokens_.current();
            TEvent e;
            e.tick = m.tick;
            e.status = m.status;
            e.d1 = m.d1;
            e.d2 = m.d2;
            e.positionAfter = file_->position();
            e.counterAfter = tokens_.counter();
            e.runningAfter = tokens_.running();
            add(e);
            if (tokens_.endOfTrack())
                done_ = true;
            return true;
        }
        case TMidiTokenizer::failed:
            errorAt = static_cast<std::uint32_t>(events.size());
            errorCode = tokens_.errorCode();
            errorTick = tokens_.tick();
            done_ = true;
            return false;
        case TMidiTokenizer::chunkEnd:
            finalTick = tokens_.tick();
            done_ = true;
            return false;
        }
    }
}

template <typename TMore> void TTrackIndex::parseWhile(TMore more) {
    if (done_ || !more())
        return;
    // The reader shares the file: the parse goes on where it stopped and leaves the reader's
    // position as it found it.
    const std::int64_t resume = file_->position();
    file_->seek(position_);
    while (more() && parseEvent()) {
    }
    position_ = file_->position();
    file_->seek(resume);
}

std::uint32_t TTrackIndex::find(std::int64_t position, std::int64_t counter, std::uint8_t running) {
    parseWhile([&] { return events.empty() || events.back().positionAfter < position; });
    const auto at =
        std::lower_bound(events.begin(), events.end(), position,
                         [](const TEvent& e, std::int64_t p) { return e.positionAfter < p; });
    for (auto it = at; it != events.end() && it->positionAfter == position; ++it)
        if (it->counterAfter == counter && it->runningAfter == running)
            return static_cast<std::uint32_t>(it - events.begin());
    return none;
}

void TTrackIndex::parseToEndOf(std::uint32_t k) {
    parseWhile([&] { return endOf[k] == none; });
}

} // namespace zb::compiler
