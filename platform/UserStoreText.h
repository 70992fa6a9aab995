#pragma once
// The per-user store in memory, and its text form. Pure: no file is touched here.
//
// A store is a tree of keys. Each key holds named values and subkeys; the value with
// the empty name is the key's default value. Key and value names compare without
// regard to ASCII case and keep the case they were made with. A value is a 32-bit
// number (DWORD) or a string of any bytes but NUL.
//
// The text form, one item a line, lines ended by LF (a CR before the LF is ignored):
//
//     Pellora settings store, format 1
//
//     [Software\Tamsel\Pellora]
//     @="PR2"
//
//     [Software\Tamsel\Pellora\Global]
//     "Port"=dword:8080
//     "RootPage0"="c:\web\index.htm"
//
//     End of store
//
// "[path]" opens a key (made with its parents); its components are separated by '\'.
// "@=" sets the default value, "\"name\"=" a named one; a value is "dword:" and a
// decimal number from 0 to 4294967295, or a string in double quotes. In names and
// strings, control bytes, '"', '%' and (in key names) '\' are written as '%' and two
// hex digits; every other byte stands for itself, so paths stay readable. A '%' that
// is not followed by two hex digits stands for itself. Blank lines are ignored.
// A text without the first line is not a store; one without the last line was cut
// short: both are refused whole.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

enum class StoreValueType { Dword, String };

struct StoreValue {
    StoreValueType type = StoreValueType::String;
    std::uint32_t number = 0;  // a Dword's value
    std::string text;          // a String's bytes, never a NUL

    static StoreValue Dword(std::uint32_t number) { return {StoreValueType::Dword, number, {}}; }
    static StoreValue String(std::string_view text);  // cut at a NUL, as a C string would be

    friend bool operator==(const StoreValue&, const StoreValue&) = default;
};

// Whether two names are the same name to the store.
bool SameStoreName(std::string_view a, std::string_view b);

// A key name: not empty, no '\' (the path separator) and no NUL.
bool IsValidStoreKeyName(std::string_view name);

class StoreKeyNode {
public:
    StoreKeyNode() = default;
    StoreKeyNode(const StoreKeyNode&) = delete;
    StoreKeyNode& operator=(const StoreKeyNode&) = delete;
    StoreKeyNode(StoreKeyNode&&) = default;
    StoreKeyNode& operator=(StoreKeyNode&&) = default;

    // "" names the default value.
    [[nodiscard]] const StoreValue* FindValue(std::string_view name) const;
    // Replaces a value of the same name (keeping that name's case) or adds one. A
    // string is cut at a NUL; a name holding a NUL is refused (false).
    bool SetValue(std::string_view name, StoreValue value);
    // True when the value existed.
    bool DeleteValue(std::string_view name);

    [[nodiscard]] StoreKeyNode* FindSubkey(std::string_view name) const;
    // The subkey, made when missing; nullptr for an invalid name. Subkeys are never
    // removed, so the address stays good as long as the tree lives.
    StoreKeyNode* CreateSubkey(std::string_view name);

    // A '\'-separated path below this key; nothing for a missing or invalid one.
    [[nodiscard]] StoreKeyNode* FindPath(std::string_view path) const;
    StoreKeyNode* CreatePath(std::string_view path);

    [[nodiscard]] const std::vector<std::pair<std::string, StoreValue>>& Values() const { return values_; }
    [[nodiscard]] const std::vector<std::pair<std::string, std::unique_ptr<StoreKeyNode>>>& Subkeys() const {
        return subkeys_;
    }

private:
    std::vector<std::pair<std::string, StoreValue>> values_;
    std::vector<std::pair<std::string, std::unique_ptr<StoreKeyNode>>> subkeys_;
};

inline constexpr std::string_view kStoreFirstLine = "Pellora settings store, format 1";
inline constexpr std::string_view kStoreLastLine = "End of store";

// The whole tree below `root` (which itself holds no values) as text.
std::string FormatStore(const StoreKeyNode& root);
// nullopt when the text is not a whole store of this format.
std::optional<StoreKeyNode> ParseStore(std::string_view text);

}  // namespace platform
