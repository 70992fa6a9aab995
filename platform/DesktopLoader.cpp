#include <dlfcn.h>

#include <string>

#include "platform/Desktop.h"
#include "platform/HostInfo.h"
#include "platform/MessageBox.h"

namespace platform {
namespace {

using OpenFunction = Desktop* (*)(int& argc, char** argv, MessageQueue& queue);

}  // namespace

std::unique_ptr<Desktop> Desktop::Open(int& argc, char** argv, MessageQueue& queue) {
    // The toolkit lives in a module beside the program, loaded only when a display is
    // wanted: a headless server does not carry the toolkit's libraries in its memory.
    const std::string path = ExecutableDirectory() + "/" + std::string(kDesktopModuleName);
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* why = dlerror();
        ShowMessageBox("Pellora", std::string("The desktop module could not be loaded: ") + (why ? why : path),
                       MessageIcon::None);
        return nullptr;
    }
    // The module stays loaded for the life of the process; the toolkit cannot be unloaded.
    const auto open = reinterpret_cast<OpenFunction>(dlsym(module, "PelloraOpenDesktop"));
    return std::unique_ptr<Desktop>(open != nullptr ? open(argc, argv, queue) : nullptr);
}

}  // namespace platform
