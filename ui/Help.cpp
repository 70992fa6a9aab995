#include "ui/Help.h"

#include <array>
#include <utility>

#include "platform/DesktopServices.h"
#include "platform/FileHandle.h"
#include "platform/MessageBox.h"

namespace {

constexpr std::array<std::pair<int, std::string_view>, 7> kHelpPages{{
    {kMainWindowHelpId, "window.html"},
    {104, "general.html"},
    {116, "directories.html"},
    {105, "network.html"},
    {106, "sharing.html"},
    {115, "logging.html"},
    {117, "upload.html"},
}};

std::string InProgramDirectory(std::string_view programDirectory, std::string_view name) {
    std::string path(programDirectory);
    path += '/';
    path += name;
    return path;
}

void OpenHelpFile(const std::string& path) {
    if (platform::GetPathStatus(path).kind != platform::PathKind::File) {
        platform::ShowMessageBox("Pellora Error", "Could not find the help page " + path,
                                 platform::MessageIcon::Exclamation);
        return;
    }
    platform::OpenDocument(path);
}

}  // namespace

std::string HelpPagePath(std::string_view programDirectory, int contextId) {
    for (const auto& [id, page] : kHelpPages) {
        if (id == contextId) return InProgramDirectory(programDirectory, std::string("help/") += page);
    }
    return HelpContentsPath(programDirectory);
}

std::string HelpContentsPath(std::string_view programDirectory) {
    return InProgramDirectory(programDirectory, "help/index.html");
}

void OpenHelpPage(std::string_view programDirectory, int contextId) {
    OpenHelpFile(HelpPagePath(programDirectory, contextId));
}

void OpenHelpContents(std::string_view programDirectory) {
    OpenHelpFile(HelpContentsPath(programDirectory));
}

void ShowReadme(std::string_view programDirectory) {
    const std::string path = InProgramDirectory(programDirectory, "readme.txt");
    if (platform::GetPathStatus(path).kind != platform::PathKind::File) {
        platform::ShowMessageBox("Pellora Error", "Could not find Readme.Txt", platform::MessageIcon::Exclamation);
        return;
    }
    platform::OpenDocument(path);
}
