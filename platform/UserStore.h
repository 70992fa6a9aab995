#pragma once
// The per-user settings store: a tree of keys and values (see UserStoreText.h for its
// shape and text form) kept in $XDG_CONFIG_HOME/pellora/settings.store (default
// ~/.config/pellora/).
//
// Every use is one session: Open takes an exclusive lock (flock on settings.lock
// beside the store) and reads the whole store; the keys handed out work on that copy;
// Commit writes it back whole and atomically (a temporary file in the same directory,
// fsync, rename, fsync of the directory); closing releases the lock. So the server and
// the upload program never see half a store or each other's half-done changes, and a
// process killed at any moment leaves the old store or the new one. Keys and values
// this program does not know are carried along untouched.
//
// A store file that is not of our format or was cut short is reported once (a message
// box), renamed aside to settings.store.corrupt-<date>-<time>, and the session starts
// from an empty store. If it cannot be moved aside, it is never overwritten: Commit
// then fails.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/FileHandle.h"
#include "platform/UserStoreText.h"

namespace platform {

class UserStore;

// One key of an open store. Valid while its store is open; closing it is forgetting it.
class StoreKey {
public:
    StoreKey() = default;
    StoreKey(const StoreKey&) = delete;
    StoreKey& operator=(const StoreKey&) = delete;
    StoreKey(StoreKey&& other) noexcept;
    StoreKey& operator=(StoreKey&& other) noexcept;
    ~StoreKey() = default;

    [[nodiscard]] bool IsOpen() const { return node_ != nullptr; }
    explicit operator bool() const { return IsOpen(); }
    void Close();

    // A '\'-separated path below this key: not open when it does not exist.
    [[nodiscard]] StoreKey OpenSubkey(std::string_view path) const;
    // The same, made with its parents when missing; not open for an invalid name.
    StoreKey CreateSubkey(std::string_view path);

    // "" names the default value. nullopt when the value does not exist.
    [[nodiscard]] std::optional<StoreValue> Query(std::string_view name) const;
    // False when the key is not open or the name holds a NUL; a string is cut at a NUL.
    bool Set(std::string_view name, StoreValue value);
    bool SetDword(std::string_view name, std::uint32_t number) { return Set(name, StoreValue::Dword(number)); }
    bool SetString(std::string_view name, std::string_view text) { return Set(name, StoreValue::String(text)); }
    // A value that does not exist is no error.
    void DeleteValue(std::string_view name);

private:
    friend class UserStore;
    struct Session;
    StoreKey(StoreKeyNode* node, Session* session) : node_(node), session_(session) {}

    StoreKeyNode* node_ = nullptr;
    Session* session_ = nullptr;
};

class UserStore {
public:
    // The store of this user: $XDG_CONFIG_HOME/pellora, or ~/.config/pellora.
    static std::string DefaultDirectory();
    static UserStore Open();
    // The store kept in `directory` (made, with its parents, when missing).
    static UserStore OpenIn(const std::string& directory);

    UserStore(const UserStore&) = delete;
    UserStore& operator=(const UserStore&) = delete;
    UserStore(UserStore&&) noexcept;
    UserStore& operator=(UserStore&&) noexcept;
    // Releases the lock; changes not committed are dropped.
    ~UserStore();

    // A '\'-separated path from the top: not open when it does not exist.
    [[nodiscard]] StoreKey OpenKey(std::string_view path) const;
    // The same, made with its parents when missing.
    StoreKey CreateKey(std::string_view path);

    // Writes the store when anything changed. False when that could not be done
    // (no lock, a store that could not be read or moved aside, a store grown past
    // 1 MiB, a failed write); the file then is exactly what it was.
    bool Commit();
    void Close();

    [[nodiscard]] static std::string StoreFileName() { return "settings.store"; }

private:
    UserStore() = default;
    void Load();
    void PutAside(const std::string& reason);

    std::string directory_;
    FileHandle lock_;
    std::unique_ptr<StoreKey::Session> session_;
    bool writable_ = false;
};

}  // namespace platform
