#include "cli/module.h"

#include "cli/command.h"

#include <dlfcn.h>
#include <iostream>
#include <map>
#include <string>

namespace zb::cli {

void* moduleSymbol(const char* file, const char* name, const char* what) {
    // Modules stay loaded: Qt keeps threads and handlers of its own.
    static std::map<std::string, void*> loaded;
    void*& module = loaded[file];
    if (module == nullptr) {
        const std::string path = (moduleDir() / file).string();
        module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            const char* why = ::dlerror();
            std::cerr << "zorbel-cli: " << what << " is not available (" << (why ? why : path)
                      << ")\n";
            return nullptr;
        }
    }
    void* symbol = ::dlsym(module, name);
    if (symbol == nullptr)
        std::cerr << "zorbel-cli: " << what << " is not available (" << file << " has no " << name
                  << ")\n";
    return symbol;
}

} // namespace zb::cli
