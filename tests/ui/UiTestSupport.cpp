#include "tests/ui/UiTestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

#include "config/RegistryStore.h"
#include "platform/DriveTable.h"
#include "platform/UserStore.h"
#include "tests/support/ServerProcess.h"

std::optional<std::string> DesktopAnswers::nextChoice;
std::vector<std::string> DesktopAnswers::dialogTitles;
std::vector<std::string> DesktopAnswers::dialogFilters;
std::string DesktopAnswers::defaultExtension;
std::vector<std::string> DesktopAnswers::openedDocuments;
std::vector<std::string> DesktopAnswers::messages;
int DesktopAnswers::waitCursors = 0;

void DesktopAnswers::Clear() {
    nextChoice.reset();
    dialogTitles.clear();
    dialogFilters.clear();
    defaultExtension.clear();
    openedDocuments.clear();
    messages.clear();
    waitCursors = 0;
}

namespace {

std::optional<std::string> AnswerFileDialog(const platform::FileDialogRequest& request) {
    DesktopAnswers::dialogTitles.emplace_back(request.title);
    DesktopAnswers::dialogFilters.clear();
    for (const platform::FileFilter& filter : request.filters) {
        DesktopAnswers::dialogFilters.push_back(std::string(filter.name) + "|" + std::string(filter.pattern));
    }
    DesktopAnswers::defaultExtension = request.defaultExtension;
    return std::exchange(DesktopAnswers::nextChoice, std::nullopt);
}

bool RecordOpenedDocument(std::string_view path) {
    DesktopAnswers::openedDocuments.emplace_back(path);
    return true;
}

void CountWaitCursor(bool shown) {
    if (shown) ++DesktopAnswers::waitCursors;
}

void RecordMessage(std::string_view caption, std::string_view text, platform::MessageIcon) {
    DesktopAnswers::messages.push_back(std::string(caption) + ": " + std::string(text));
}

}  // namespace

void UiTest::SetUp() {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) savedHome_ = old;
    setenv("XDG_CONFIG_HOME", home_.Path().c_str(), 1);
    platform::SetDriveTable(platform::DriveTable({platform::Drive{'C', drive_.Path()}}));
    SetDefaultSettings();
    Clear();
    previousMessages_ = platform::SetMessageBoxHandler(&RecordMessage);
    previousServices_ = platform::SetDesktopServices({&AnswerFileDialog, &RecordOpenedDocument, &CountWaitCursor});
    server_.Attach(&window_, queue_.get());
}

void UiTest::TearDown() {
    server_.StopListening();
    platform::SetDesktopServices(previousServices_);
    platform::SetMessageBoxHandler(previousMessages_);
    platform::SetDriveTable(platform::DriveTable::FromEnvironment());
    if (savedHome_) {
        setenv("XDG_CONFIG_HOME", savedHome_->c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
}

void UiTest::UseDesktopFileDialogs() {
    platform::DesktopServices services = platform::SetDesktopServices({});
    services.chooseFile = previousServices_.chooseFile;
    platform::SetDesktopServices(services);
}

void UiTest::StartServer() {
    Settings().Port = FreePort();
    ASSERT_EQ(server_.StartListening(), 0);
}

bool UiTest::Accepts(int port) {
    const int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(client);
    return connected;
}

namespace {

std::optional<platform::StoreValue> Stored(std::string_view subkey, std::string_view name) {
    const platform::UserStore store = platform::UserStore::Open();
    const platform::StoreKey key = store.OpenKey(std::string(kStoreMainKey) + "\\" + std::string(subkey));
    if (!key) return std::nullopt;
    return key.Query(name);
}

}  // namespace

std::optional<std::string> StoredText(std::string_view subkey, std::string_view name) {
    const auto value = Stored(subkey, name);
    return value ? std::optional<std::string>(value->text) : std::nullopt;
}

std::optional<std::uint32_t> StoredNumber(std::string_view subkey, std::string_view name) {
    const auto value = Stored(subkey, name);
    return value ? std::optional<std::uint32_t>(value->number) : std::nullopt;
}
