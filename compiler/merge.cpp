#include "compiler/merge.h"

#include <algorithm>
#include <iterator>
#include <tuple>

namespace zb::compiler {

bool sameSound(const TSampleRec& a, const TSampleRec& b) {
    return static_cast<const instruments::TPatchSound&>(a) == b;
}

namespace {

// Moves B's groups into A. Inserting B's groups one by one, each after every group of A (and of
// B before it) with a lower key, or the same key and the same or an earlier start, is a stable
// merge of the two ordered chains in which A's groups come first among equals.
void moveNotes(TSampleRec& a, TSampleRec& b) {
    const int d = a.baseKey - b.baseKey;
    for (auto& group : b.notes)
        for (auto& e : group.events)
            e.key = static_cast<std::int16_t>(e.key + d); // 16-bit arithmetic, as the keys are
    std::vector<TNoteGroup> merged;
    merged.reserve(a.notes.size() + b.notes.size());
    std::merge(std::make_move_iterator(a.notes.begin()), std::make_move_iterator(a.notes.end()),
               std::make_move_iterator(b.notes.begin()), std::make_move_iterator(b.notes.end()),
               std::back_inserter(merged), [](const TNoteGroup& x, const TNoteGroup& y) {
                   return std::make_tuple(x.key(), x.startTime()) <
                          std::make_tuple(y.key(), y.startTime());
               });
    a.notes = std::move(merged);
    b.notes.clear();
}

} // namespace

void mergeSampleRecords(TCompileState& state) {
    if (state.failed())
        return;
    auto& samples = state.samples;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        TSampleRec& a = *samples[i];
        // Records merged into A leave the chain; the rest keep their order.
        auto kept = std::stable_partition(
            samples.begin() + static_cast<std::ptrdiff_t>(i) + 1, samples.end(),
            [&](const std::unique_ptr<TSampleRec>& b) { return !sameSound(a, *b); });
        for (auto it = kept; it != samples.end(); ++it)
            moveNotes(a, **it);
        samples.erase(kept, samples.end());
    }
}

} // namespace zb::compiler
