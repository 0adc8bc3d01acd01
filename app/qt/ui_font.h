#pragma once

#include <QFont>

namespace zb::ui {

// The 8-point sans-serif font every window of the player uses, so that the fixed layouts fit.
QFont playerFont();

} // namespace zb::ui
