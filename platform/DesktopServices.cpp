#include "platform/DesktopServices.h"

#include <utility>

namespace platform {
namespace {

DesktopServices current;

std::string WithDefaultExtension(std::string path, std::string_view extension) {
    const std::size_t nameStart = path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1;
    if (extension.empty() || path.size() == nameStart || path.find('.', nameStart) != std::string::npos) return path;
    path += '.';
    path += extension;
    return path;
}

}  // namespace

DesktopServices SetDesktopServices(const DesktopServices& services) {
    return std::exchange(current, services);
}

std::optional<std::string> ChooseFile(const FileDialogRequest& request) {
    if (current.chooseFile == nullptr) return std::nullopt;
    std::optional<std::string> chosen = current.chooseFile(request);
    if (!chosen || chosen->empty()) return std::nullopt;
    return WithDefaultExtension(std::move(*chosen), request.defaultExtension);
}

bool OpenDocument(std::string_view hostPath) {
    return current.openDocument != nullptr && current.openDocument(hostPath);
}

WaitCursor::WaitCursor() {
    if (current.showWaitCursor != nullptr) current.showWaitCursor(true);
}

WaitCursor::~WaitCursor() {
    if (current.showWaitCursor != nullptr) current.showWaitCursor(false);
}

}  // namespace platform
