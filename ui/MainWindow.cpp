#include "ui/MainWindow.h"

#include <array>
#include <utility>

#include "config/OptionsFile.h"
#include "config/RegistryStore.h"
#include "config/Startup.h"
#include "platform/DesktopServices.h"
#include "ui/AccessStatusText.h"
#include "ui/Help.h"
#include "ui/MainMenu.h"

namespace {

constexpr int kPictureWidth = 300;
constexpr int kPictureHeight = 200;

constexpr std::array<platform::FileFilter, 2> kSaveFilters{{
    {"Options File (*.opt)", "*.opt"},
    {"All Files (*.*)", "*.*"},
}};
constexpr std::array<platform::FileFilter, 2> kLoadFilters{{
    {"Options file (*.opt)", "*.opt"},
    {"All Files (*.*)", "*.*"},
}};

}  // namespace

MainWindow::MainWindow(Server& server, platform::MessageQueue& queue, platform::Window& window,
                       std::optional<std::string> optionsFile, std::string programDirectory)
    : server_(server),
      queue_(queue),
      window_(window),
      optionsFile_(std::move(optionsFile)),
      programDirectory_(std::move(programDirectory)),
      control_(server, window),
      options_(control_, window, programDirectory_) {}

void MainWindow::OnCreate() {
    CreateWindowContents();
    control_.SetRunning(InitializeServer(server_, window_, queue_, optionsFile_) == 0);
}

void MainWindow::CreateWindowContents() {
    const std::string picture = programDirectory_ + "/images/window.gif";
    const std::string icon = programDirectory_ + "/images/pellora.png";
    window_.CreateContents(
        {picture, kPictureWidth, kPictureHeight, icon, "Pellora", MainMenuBar(), MainContextMenu(), kCommandExit});
}

std::int64_t MainWindow::Handle(const platform::Message& message) {
    switch (message.id) {
        case platform::kCommandMessage:
            OnCommand(message.first);
            return 0;
        case platform::kSystemCommandMessage:
            if (message.first == kSystemCommandOptions) OnCommand(kCommandOptions);
            return 0;
        case platform::kHelpMessage:
            OpenHelpPage(programDirectory_, kMainWindowHelpId);
            return 0;
        case platform::kDestroyMessage:
            OnDestroy();
            return 0;
        default:
            return 0;
    }
}

void MainWindow::OnCommand(std::uint64_t id) {
    switch (id) {
        case kCommandExit:
            OnDestroy();  // the window goes away, and with it the server
            break;
        case kCommandAbout:
            window_.ShowAbout("About Pellora", programDirectory_ + "/images/pellora.png");
            break;
        case kCommandOptions:
            options_.Open();
            break;
        case kCommandReadme:
            ShowReadme(programDirectory_);
            break;
        case kCommandSaveOptionsAs:
            SaveOptionsAs();
            break;
        case kCommandLoadOptions:
            LoadOptions();
            break;
        case kCommandHelpTopics:
            OpenHelpContents(programDirectory_);
            break;
        case kCommandStopServer:
            control_.Stop();
            break;
        case kCommandStartServer:
            control_.Start();
            break;
        default:
            break;
    }
}

void MainWindow::OnDestroy() {
    options_.Sheet().PressCancel();
    server_.StopListening();
    queue_.PostQuit(0);
}

void MainWindow::SaveOptionsAs() {
    const std::optional<std::string> path =
        platform::ChooseFile({platform::FileDialogMode::Save, "Save Options", kSaveFilters, "opt"});
    if (path) WriteOptionsFile(*path);
}

void MainWindow::LoadOptions() {
    const std::optional<std::string> path =
        platform::ChooseFile({platform::FileDialogMode::Open, "Load Options", kLoadFilters, "opt"});
    if (!path) return;
    // A failed read has shown its message and may have changed some fields: the
    // rest runs all the same, so the server and the store agree with the record.
    ReadOptionsFile(*path);
    control_.RestartIfRunning();
    UpdateAccessStatusText(window_);
    SaveSettingsToRegistry();
}
