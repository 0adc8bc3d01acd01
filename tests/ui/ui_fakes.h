#pragma once

#include "support/fake_media_player.h"
#include "support/fake_shell.h"

namespace zb::ui::test {

using TFakeShell = zb::test::TFakeShell;
using TFakeMediaPlayer = zb::test::TFakeMediaPlayer;

} // namespace zb::ui::test
