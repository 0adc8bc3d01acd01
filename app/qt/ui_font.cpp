#include "app/qt/ui_font.h"

namespace zb::ui {

QFont playerFont() {
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}

} // namespace zb::ui
