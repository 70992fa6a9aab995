#include "platform/UserStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <thread>

#include "platform/Clock.h"
#include "platform/MessageBox.h"

namespace platform {

struct StoreKey::Session {
    StoreKeyNode root;
    bool changed = false;
};

namespace {

constexpr std::string_view kLockFileName = "settings.lock";
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::string_view kAsideInfix = ".corrupt-";
constexpr std::string_view kErrorCaption = "Pellora Error";
// Far beyond any store this program writes; a larger file is not one of ours.
constexpr off_t kMaxStoreBytes = 1 << 20;
// Another process holds the lock only while it reads or writes the file; one that
// holds it longer is stuck, and waiting on it for ever would freeze the window.
constexpr auto kLockPatience = std::chrono::seconds(5);
constexpr auto kLockRetry = std::chrono::milliseconds(10);

std::string Join(const std::string& directory, std::string_view name) {
    std::string path = directory;
    if (path.empty() || path.back() != '/') path += '/';
    path += name;
    return path;
}

int OpenRetrying(const std::string& path, int flags, mode_t mode = 0) {
    int descriptor;
    do {
        descriptor = open(path.c_str(), flags, mode);
    } while (descriptor < 0 && errno == EINTR);
    return descriptor;
}

bool MakeDirectories(const std::string& directory) {
    for (std::size_t slash = directory.find('/', 1);; slash = directory.find('/', slash + 1)) {
        const std::string part = directory.substr(0, slash);
        if (!part.empty() && mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    struct stat status {};
    return stat(directory.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool SyncDirectory(const std::string& directory) {
    FileHandle handle(OpenRetrying(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return handle.IsOpen() && fsync(handle.Descriptor()) == 0;
}

bool LockWithin(int descriptor, std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (true) {
        if (flock(descriptor, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kLockRetry);
    }
}

std::optional<std::string> ReadAll(FileHandle& file, std::size_t size) {
    std::string bytes(size, '\0');
    std::size_t got = 0;
    while (got < size) {
        const long count = file.Read(bytes.data() + got, size - got);
        if (count < 0) return std::nullopt;
        if (count == 0) break;
        got += static_cast<std::size_t>(count);
    }
    bytes.resize(got);
    return bytes;
}

std::string AsideName(const std::string& storePath) {
    const CivilTime now = LocalCivilTime(CurrentUnixTime());
    std::array<char, 32> stamp{};
    std::snprintf(stamp.data(), stamp.size(), "%04d%02d%02d-%02d%02d%02d", now.year, now.month, now.day, now.hour,
                  now.minute, now.second);
    const std::string base = storePath + std::string(kAsideInfix) + stamp.data();
    std::string name = base;
    struct stat status {};
    for (int n = 2; lstat(name.c_str(), &status) == 0; ++n) name = base + "-" + std::to_string(n);
    return name;
}

// A store that stays unusable is reported once per process, not at every open.
void ReportOnce(const std::string& storePath, const std::string& text) {
    static std::set<std::string> reported;
    if (!reported.insert(storePath).second) return;
    ShowMessageBox(kErrorCaption, text, MessageIcon::Exclamation);
}

}  // namespace

StoreKey::StoreKey(StoreKey&& other) noexcept : node_(other.node_), session_(other.session_) {
    other.Close();
}

StoreKey& StoreKey::operator=(StoreKey&& other) noexcept {
    if (this != &other) {
        node_ = other.node_;
        session_ = other.session_;
        other.Close();
    }
    return *this;
}

void StoreKey::Close() {
    node_ = nullptr;
    session_ = nullptr;
}

StoreKey StoreKey::OpenSubkey(std::string_view path) const {
    if (!IsOpen()) return {};
    StoreKeyNode* found = node_->FindPath(path);
    return found != nullptr ? StoreKey(found, session_) : StoreKey();
}

StoreKey StoreKey::CreateSubkey(std::string_view path) {
    if (!IsOpen()) return {};
    if (StoreKeyNode* found = node_->FindPath(path)) return StoreKey(found, session_);
    StoreKeyNode* made = node_->CreatePath(path);
    if (made == nullptr) return {};
    session_->changed = true;
    return StoreKey(made, session_);
}

std::optional<StoreValue> StoreKey::Query(std::string_view name) const {
    if (!IsOpen()) return std::nullopt;
    const StoreValue* value = node_->FindValue(name);
    if (value == nullptr) return std::nullopt;
    return *value;
}

bool StoreKey::Set(std::string_view name, StoreValue value) {
    if (!IsOpen()) return false;
    const StoreValue* existing = node_->FindValue(name);
    if (existing != nullptr && *existing == value) return true;
    if (!node_->SetValue(name, std::move(value))) return false;
    session_->changed = true;
    return true;
}

void StoreKey::DeleteValue(std::string_view name) {
    if (IsOpen() && node_->DeleteValue(name)) session_->changed = true;
}

std::string UserStore::DefaultDirectory() {
    // A relative XDG_CONFIG_HOME is to be ignored, as an unset one.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') return Join(config, "pellora");
    std::string home;
    if (const char* variable = std::getenv("HOME"); variable != nullptr && variable[0] == '/') {
        home = variable;
    } else if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
        home = entry->pw_dir;
    }
    if (home.empty()) return {};
    return Join(Join(home, ".config"), "pellora");
}

UserStore UserStore::Open() {
    return OpenIn(DefaultDirectory());
}

UserStore UserStore::OpenIn(const std::string& directory) {
    UserStore store;
    store.directory_ = directory;
    store.session_ = std::make_unique<StoreKey::Session>();
    if (directory.empty() || directory.front() != '/') return store;  // nowhere to keep it: empty, read-only
    if (MakeDirectories(directory)) {
        store.lock_ = FileHandle(OpenRetrying(Join(directory, kLockFileName), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        store.writable_ = store.lock_.IsOpen() && LockWithin(store.lock_.Descriptor(), kLockPatience);
    }
    // Without the lock the file is still read: whole-file renames mean it is never
    // half written, and a session that is not writable cannot commit.
    store.Load();
    return store;
}

UserStore::UserStore(UserStore&&) noexcept = default;
UserStore& UserStore::operator=(UserStore&&) noexcept = default;

UserStore::~UserStore() {
    Close();
}

void UserStore::Close() {
    // Closing the descriptor releases the flock.
    lock_.Close();
    session_.reset();
    writable_ = false;
}

void UserStore::Load() {
    const std::string path = Join(directory_, StoreFileName());
    FileHandle file(OpenRetrying(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file.IsOpen()) {
        if (errno == ENOENT) return;  // a first start: an empty store
        writable_ = false;            // never overwrite what could not be read
        ReportOnce(path, "The settings store " + path + " could not be read; settings will not be saved.");
        return;
    }
    struct stat status {};
    if (fstat(file.Descriptor(), &status) != 0 || !S_ISREG(status.st_mode)) {
        writable_ = false;
        ReportOnce(path, "The settings store " + path + " is not a file; settings will not be saved.");
        return;
    }
    std::optional<std::string> text;
    if (status.st_size <= kMaxStoreBytes) {
        text = ReadAll(file, static_cast<std::size_t>(status.st_size));
        if (!text) {
            writable_ = false;
            ReportOnce(path, "The settings store " + path + " could not be read; settings will not be saved.");
            return;
        }
    }
    std::optional<StoreKeyNode> root;
    if (text) root = ParseStore(*text);
    if (!root) {
        file.Close();
        PutAside(path);
        return;
    }
    session_->root = std::move(*root);
}

void UserStore::PutAside(const std::string& path) {
    if (writable_) {
        const std::string aside = AsideName(path);
        if (rename(path.c_str(), aside.c_str()) == 0) {
            SyncDirectory(directory_);
            ShowMessageBox(kErrorCaption,
                           "The settings store " + path + " was damaged. It has been kept as " + aside +
                               " and the settings start afresh.",
                           MessageIcon::Exclamation);
            return;
        }
    }
    writable_ = false;
    ReportOnce(path,
               "The settings store " + path + " is damaged and could not be moved aside; settings will not be saved.");
}

StoreKey UserStore::OpenKey(std::string_view path) const {
    if (!session_) return {};
    StoreKeyNode* found = session_->root.FindPath(path);
    return found != nullptr ? StoreKey(found, session_.get()) : StoreKey();
}

StoreKey UserStore::CreateKey(std::string_view path) {
    if (!session_) return {};
    if (StoreKeyNode* found = session_->root.FindPath(path)) return StoreKey(found, session_.get());
    StoreKeyNode* made = session_->root.CreatePath(path);
    if (made == nullptr) return {};
    session_->changed = true;
    return StoreKey(made, session_.get());
}

bool UserStore::Commit() {
    if (!session_) return false;
    if (!session_->changed) return true;
    if (!writable_) return false;

    const std::string path = Join(directory_, StoreFileName());
    const std::string temporary = path + std::string(kTemporarySuffix);
    const std::string text = FormatStore(session_->root);
    // A store larger than a load accepts would be set aside at the next open.
    if (text.size() > static_cast<std::size_t>(kMaxStoreBytes)) return false;
    FileHandle file(OpenRetrying(temporary, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW, 0600));
    bool written = file.IsOpen() && file.WriteAll(text) && fsync(file.Descriptor()) == 0;
    if (file.IsOpen() && close(file.Release()) != 0) written = false;
    if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    // The rename itself reaches the disk only with its directory.
    SyncDirectory(directory_);
    session_->changed = false;
    return true;
}

}  // namespace platform
