#include "app/atomic_file.h"

#include <cstdio>
#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace zb::app {

bool writeFileAtomically(const std::string& path, std::string_view content) {
    std::random_device rd;
    std::string temp = path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(rd());
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < content.size()) {
        ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n <= 0)
            ok = false;
        else
            done += static_cast<std::size_t>(n);
    }
    // The data must reach the disk before the rename makes it the file.
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok)
        std::remove(temp.c_str());
    return ok;
}

} // namespace zb::app
