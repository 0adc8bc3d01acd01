#pragma once

#include "compiler/sample_rec.h"

#include <memory>
#include <vector>

namespace zb::compiler {

// One voice of the compiled song: it plays one sample record at one key.
struct TSongBlock {
    TSampleRec* sampleRec = nullptr;
};

// The compiled song: its voices in song order.
using TSong = std::vector<std::unique_ptr<TSongBlock>>;

} // namespace zb::compiler
