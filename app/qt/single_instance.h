#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace zb::ui {

// One player at a time: a second start hands its command line to the running player through a
// local socket in the user's runtime folder and ends. The arguments travel as the bytes of the
// file names, each ended by a zero byte.
class TSingleInstance final : public QObject {
public:
    using TReceiver = std::function<void(const std::vector<std::string>&)>;

    // "zorbel.socket" in the runtime folder ($XDG_RUNTIME_DIR, else Qt's fallback).
    static QString defaultName();
    // True when a running player took the arguments.
    static bool handOver(const QString& name, const std::vector<std::string>& arguments);

    // Listens under name for later starts, after removing a socket that no player answers on
    // (one left by a crashed player). False when that fails; the player then runs alone.
    bool listen(const QString& name, TReceiver receiver);

private:
    QLocalServer server;
    TReceiver receiver;
};

} // namespace zb::ui
