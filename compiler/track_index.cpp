#include "compiler/track_index.h"

#include <algorithm>

namespace zb::compiler {

namespace {

bool collects(std::uint8_t status, std::uint8_t d1) {
    switch (status & 0xF0) {
    case 0xA0:
    case 0xD0:
    case 0xE0:
        return true;
    case 0xB0:
        return d1 == 1 || d1 == 7 || d1 == 10 || d1 == 11;
    default:
        return false;
    }
}

} // namespace

void TTrackIndex::build(TFastFile& file, std::int32_t chunkLength) {
    const std::int64_t chunkStart = file.position();
    std::int64_t counter = 1;
    std::int64_t tick = 0;
    std::uint8_t running = 0xFE;
    bool expectDelta = true;
    bool stopped = false;
    const auto fail = [&](std::int32_t code) {
        errorAt = static_cast<std::uint32_t>(events.size());
        errorCode = code;
        errorTick = tick;
        stopped = true;
    };
    // A variable-length quantity as the reader reads it; false after the end of the file.
    const auto varLen = [&](std::uint32_t& value) {
        std::uint8_t b = file.readByte();
        if (file.eof())
            return false;
        ++counter;
        value = b & 0x7Fu;
        while (b >= 0x80) {
            b = file.readByte();
            if (file.eof())
                return false;
            ++counter;
            value = (value << 7) | (b & 0x7Fu);
        }
        return true;
    };

    while (counter < chunkLength && !stopped) {
        if (expectDelta) {
            std::uint32_t delta = 0;
            if (!varLen(delta)) {
                fail(12);
                break;
            }
            tick += delta;
            expectDelta = false;
            continue;
        }
        std::uint8_t status = file.readByte();
        if (file.eof()) {
            fail(12);
            break;
        }
        if (status >= 0x80) {
            if (status != 0xF0 && status != 0xF7 && status != 0xFF)
                running = status;
            ++counter;
        } else {
            file.seek(file.position() - 1);
            status = running;
        }
        expectDelta = true;
        TEvent e;
        e.tick = tick;
        e.status = status;
        if (status >= 0x80 && status < 0xF0) {
            const bool twoBytes = (status & 0xF0) != 0xC0 && (status & 0xF0) != 0xD0;
            e.d1 = file.readByte();
            e.d2 = twoBytes ? file.readByte() : 0;
            if (file.eof()) {
                fail(12);
                break;
            }
            counter += twoBytes ? 2 : 1;
        } else if (status == 0xF0 || status == 0xF7) {
            std::uint32_t length = 0;
            if (!varLen(length)) {
                fail(12);
                break;
            }
            file.seek(file.position() + length);
            counter += length;
        } else if (status == 0xFF) {
            e.d1 = file.readByte();
            if (file.eof()) {
                fail(12);
                break;
            }
            ++counter;
            if (e.d1 == 0x2F) {
                stopped = true; // the look-ahead stops here, with its length byte unread
            } else {
                std::uint32_t length = 0;
                if (!varLen(length)) {
                    fail(12);
                    break;
                }
                file.seek(file.position() + length);
                counter += length;
            }
        } else if (status != 0xFE) {
            fail(14);
            break;
        }
        e.positionAfter = file.position();
        e.counterAfter = counter;
        e.runningAfter = running;
        events.push_back(e);
    }
    finalTick = tick;
    file.seek(chunkStart);

    // Ends of notes, found backwards: the next note event of each channel and key.
    endOf.assign(events.size(), none);
    std::uint32_t endOfTrack = none;
    if (!events.empty() && events.back().status == 0xFF && events.back().d1 == 0x2F)
        endOfTrack = static_cast<std::uint32_t>(events.size() - 1);
    std::vector<std::uint32_t> next(16 * 256, none);
    for (std::size_t i = events.size(); i-- > 0;) {
        const TEvent& e = events[i];
        const std::uint8_t kind = e.status & 0xF0;
        if (kind != 0x80 && kind != 0x90)
            continue;
        std::uint32_t& nextOfKey = next[(e.status & 0x0Fu) * 256 + e.d1];
        if (kind == 0x90)
            endOf[i] = std::min(nextOfKey, endOfTrack);
        nextOfKey = static_cast<std::uint32_t>(i);
    }
    for (std::size_t i = 0; i < events.size(); ++i)
        if (events[i].status < 0xF0 && collects(events[i].status, events[i].d1))
            channelEvents[events[i].status & 0x0F].push_back(static_cast<std::uint32_t>(i));
}

std::uint32_t TTrackIndex::find(std::int64_t position, std::int64_t counter,
                                std::uint8_t running) const {
    const auto at =
        std::lower_bound(events.begin(), events.end(), position,
                         [](const TEvent& e, std::int64_t p) { return e.positionAfter < p; });
    for (auto it = at; it != events.end() && it->positionAfter == position; ++it)
        if (it->counterAfter == counter && it->runningAfter == running)
            return static_cast<std::uint32_t>(it - events.begin());
    return none;
}

} // namespace zb::compiler
