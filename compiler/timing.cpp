#include "compiler/timing.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace zb::compiler {

namespace {

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kDefaultTempo = 500000;

bool redundant(const TTimedEvent& x, const TTimedEvent& y) {
    return x.key == y.key && x.kind == y.kind && (x.time == y.time || x.value == y.value);
}

// Removes every event X (not the first, not the last) that has the same key and kind as its
// successor and the same time or value, sweep after sweep until nothing more goes. A sweep
// decides every event against its successor as it stood at the start of the sweep; after it,
// only the events just before removed ones have a new successor, so only they are checked again.
void removeRedundant(std::vector<TTimedEvent>& chain) {
    const std::size_t n = chain.size();
    if (n < 3)
        return;
    std::vector<std::size_t> next(n), prev(n);
    for (std::size_t i = 0; i < n; ++i) {
        next[i] = i + 1;
        prev[i] = i - 1; // wraps for the first, which is never looked at
    }
    std::vector<bool> removed(n, false);
    std::vector<std::size_t> candidates;
    for (std::size_t i = 1; i + 1 < n; ++i)
        candidates.push_back(i);
    std::vector<std::size_t> doomed;
    while (!candidates.empty()) {
        doomed.clear();
        for (const std::size_t i : candidates)
            if (!removed[i] && redundant(chain[i], chain[next[i]]))
                doomed.push_back(i);
        candidates.clear();
        for (const std::size_t i : doomed) {
            removed[i] = true;
            next[prev[i]] = next[i];
            prev[next[i]] = prev[i];
        }
        for (const std::size_t i : doomed) {
            const std::size_t p = prev[i];
            if (p != 0 && !removed[p])
                candidates.push_back(p);
        }
        std::sort(candidates.begin(), candidates.end());
        candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    }
    std::size_t out = 0;
    for (std::size_t i = 0; i < n; ++i)
        if (!removed[i])
            chain[out++] = chain[i];
    chain.resize(out);
}

} // namespace

std::int64_t tickDenominator(std::int16_t division) {
    if (division > 0)
        return std::int64_t{division} * 1000;
    const auto bits = static_cast<std::uint16_t>(division);
    const int fps = -static_cast<std::int8_t>(bits >> 8);
    const int ticksPerFrame = bits & 0xFF;
    if (division == 0 || fps <= 0 || ticksPerFrame == 0)
        return 0;
    return std::int64_t{fps} * ticksPerFrame * 500;
}

std::int64_t divRoundHalfEven(std::int64_t n, std::int64_t d) {
    const std::int64_t q = n / d;
    const std::int64_t twiceRest = (n % d) * 2;
    if (twiceRest > d || (twiceRest == d && q % 2 != 0))
        return q + 1;
    return q;
}

TTickClock::TTickClock(const std::vector<tempoEntry>& map, std::int16_t division,
                       std::int32_t tempoPercent)
    : scale(tempoPercent == 100 ? 1 : 100),
      denominator(tickDenominator(division) * (tempoPercent == 100 ? 1 : tempoPercent)) {
    std::int64_t sum = 0;
    std::int64_t tick = 0;
    std::int64_t tempo = kDefaultTempo;
    for (const auto& e : map) {
        sum += (e.tick - tick) * tempo;
        tick = e.tick;
        tempo = e.tempo;
        points.push_back({tick, tempo, sum});
    }
}

std::int64_t TTickClock::ms(std::int64_t tick) const {
    if (denominator <= 0)
        return 0;
    // Sum of stretch length x tempo from tick 0 to tick. At most 2^31 ticks x 2^24 us: no
    // overflow in 64 bits.
    const auto after = std::upper_bound(points.begin(), points.end(), tick,
                                        [](std::int64_t t, const TPoint& p) { return t < p.tick; });
    const std::int64_t sum =
        after == points.begin()
            ? tick * kDefaultTempo
            : (after - 1)->sum + (tick - (after - 1)->tick) * (after - 1)->tempo;
    return divRoundHalfEven(sum * scale, denominator);
}

void computeTiming(TCompileState& state) {
    if (state.failed())
        return;
    const TTickClock clock(state.tempoMap, state.division, state.options.tempoPercent);
    std::int64_t lengthMs = 0;
    for (auto& rec : state.samples) {
        std::size_t count = 0;
        for (const auto& g : rec->notes)
            count += g.events.size();
        rec->events.clear();
        rec->events.reserve(count);
        for (const auto& g : rec->notes) {
            for (const auto& e : g.events) {
                const std::int64_t ms = clock.ms(e.time.value);
                if (ms > kInt32Max) {
                    state.setError(errSongTooLong);
                    return;
                }
                rec->events.push_back({TMilliseconds{static_cast<std::int32_t>(ms)}, e.kind, e.key,
                                       e.value, e.groupState});
                lengthMs = std::max(lengthMs, ms);
            }
        }
        rec->notes.clear();
        rec->notes.shrink_to_fit();
    }
    state.songLengthMs = static_cast<std::int32_t>(lengthMs);
    for (auto& rec : state.samples)
        removeRedundant(rec->events);
}

void checkSongLength(TCompileState& state) {
    if (state.failed())
        return;
    const std::int64_t bytes = msToBytes(state.songLengthMs);
    if (bytes > kInt32Max) {
        state.setError(errSongTooLong);
        return;
    }
    state.songLength = static_cast<std::int32_t>(bytes);
    for (auto& rec : state.samples)
        for (auto& e : rec->events)
            e.groupState = 0;
}

} // namespace zb::compiler
