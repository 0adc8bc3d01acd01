#include "synth/lfo.h"

#include <atomic>
#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

namespace zb::synth {

namespace {

// Built tables are kept for the process; the slots are atomic so that engines on several threads
// (the command line's render jobs) can load songs at once.
std::array<std::atomic<const std::vector<std::int32_t>*>, kLongestLfoPeriod + 1> lfoCache{};

} // namespace

const std::array<std::int32_t, kCosineEntries>& cosTable() {
    static const std::array<std::int32_t, kCosineEntries> table = [] {
        std::array<std::int32_t, kCosineEntries> t{};
        for (std::size_t i = 0; i < t.size(); ++i) {
            const auto c = static_cast<float>(std::cos(2 * std::numbers::pi_v<long double> *
                                                       static_cast<long double>(i) / kCosineSteps));
            t[i] = static_cast<std::int32_t>(65536.0f * c);
        }
        return t;
    }();
    return table;
}

void prepareLfoCosines(std::uint32_t period) {
    if (period == 0 || period > kLongestLfoPeriod)
        return;
    auto& slot = lfoCache[period];
    if (slot.load(std::memory_order_acquire) != nullptr)
        return;
    auto built = std::make_unique<std::vector<std::int32_t>>(period);
    const auto& table = cosTable();
    for (std::uint32_t phase = 0; phase < period; ++phase)
        (*built)[phase] = table[std::uint64_t{phase} * kCosineEntries / period];
    const std::vector<std::int32_t>* expected = nullptr;
    if (slot.compare_exchange_strong(expected, built.get(), std::memory_order_acq_rel))
        static_cast<void>(built.release()); // kept for the process
}

const std::int32_t* lfoCosines(std::uint32_t period) noexcept {
    if (period == 0 || period > kLongestLfoPeriod)
        return nullptr;
    const auto* known = lfoCache[period].load(std::memory_order_acquire);
    return known != nullptr ? known->data() : nullptr;
}

} // namespace zb::synth
