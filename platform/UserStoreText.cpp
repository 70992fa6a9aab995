#include "platform/UserStoreText.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace platform {
namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

constexpr std::string_view kDwordPrefix = "dword:";

enum class NameKind { Key, Other };

void AppendEncoded(std::string& out, std::string_view text, NameKind kind) {
    static constexpr std::array<char, 16> kHex{'0', '1', '2', '3', '4', '5', '6', '7',
                                               '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsControl(byte) || c == '%' || c == '"' || (kind == NameKind::Key && c == '\\')) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// nullopt when the text would decode to a NUL, which no name or string may hold.
std::optional<std::string> Decode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
            const char byte = static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            if (byte == '\0') return std::nullopt;
            out += byte;
            i += 2;
        } else if (text[i] == '\0') {
            return std::nullopt;
        } else {
            out += text[i];
        }
    }
    return out;
}

void AppendValue(std::string& out, const StoreValue& value) {
    if (value.type == StoreValueType::Dword) {
        out += kDwordPrefix;
        out += std::to_string(value.number);
    } else {
        out += '"';
        AppendEncoded(out, value.text, NameKind::Other);
        out += '"';
    }
    out += '\n';
}

void FormatKey(std::string& out, const StoreKeyNode& key, const std::string& path) {
    out += "\n[";
    out += path;
    out += "]\n";
    // The default value first, right under the key's name.
    if (const StoreValue* value = key.FindValue("")) {
        out += "@=";
        AppendValue(out, *value);
    }
    for (const auto& [name, value] : key.Values()) {
        if (name.empty()) continue;
        out += '"';
        AppendEncoded(out, name, NameKind::Other);
        out += "\"=";
        AppendValue(out, value);
    }
    for (const auto& [name, subkey] : key.Subkeys()) {
        std::string childPath = path;
        childPath += '\\';
        AppendEncoded(childPath, name, NameKind::Key);
        FormatKey(out, *subkey, childPath);
    }
}

std::optional<StoreValue> ParseValue(std::string_view text) {
    if (text.starts_with(kDwordPrefix)) {
        const std::string_view digits = text.substr(kDwordPrefix.size());
        if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            return std::nullopt;
        }
        std::uint32_t number = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
        if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
        return StoreValue::Dword(number);
    }
    if (text.size() < 2 || text.front() != '"' || text.back() != '"') return std::nullopt;
    std::optional<std::string> decoded = Decode(text.substr(1, text.size() - 2));
    if (!decoded) return std::nullopt;
    return StoreValue{StoreValueType::String, 0, std::move(*decoded)};
}

// A key line's path, each component decoded; nullptr for an empty or invalid one.
StoreKeyNode* CreateKeyOfLine(StoreKeyNode& root, std::string_view path) {
    StoreKeyNode* key = &root;
    while (true) {
        const std::size_t separator = path.find('\\');
        std::optional<std::string> name = Decode(path.substr(0, separator));
        if (!name || !IsValidStoreKeyName(*name)) return nullptr;
        key = key->CreateSubkey(*name);
        if (separator == std::string_view::npos) return key;
        path.remove_prefix(separator + 1);
    }
}

bool IsBlank(std::string_view line) {
    return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
}

}  // namespace

StoreValue StoreValue::String(std::string_view text) {
    return {StoreValueType::String, 0, std::string(text.substr(0, text.find('\0')))};
}

bool SameStoreName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

bool IsValidStoreKeyName(std::string_view name) {
    return !name.empty() && name.find('\\') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

const StoreValue* StoreKeyNode::FindValue(std::string_view name) const {
    for (const auto& [own, value] : values_) {
        if (SameStoreName(own, name)) return &value;
    }
    return nullptr;
}

bool StoreKeyNode::SetValue(std::string_view name, StoreValue value) {
    // What is kept must be what the text form can say again.
    if (name.find('\0') != std::string_view::npos) return false;
    value.text.erase(std::min(value.text.find('\0'), value.text.size()));
    for (auto& [own, existing] : values_) {
        if (SameStoreName(own, name)) {
            existing = std::move(value);
            return true;
        }
    }
    values_.emplace_back(std::string(name), std::move(value));
    return true;
}

bool StoreKeyNode::DeleteValue(std::string_view name) {
    return std::erase_if(values_, [name](const auto& entry) { return SameStoreName(entry.first, name); }) > 0;
}

StoreKeyNode* StoreKeyNode::FindSubkey(std::string_view name) const {
    for (const auto& [own, subkey] : subkeys_) {
        if (SameStoreName(own, name)) return subkey.get();
    }
    return nullptr;
}

StoreKeyNode* StoreKeyNode::CreateSubkey(std::string_view name) {
    if (!IsValidStoreKeyName(name)) return nullptr;
    if (StoreKeyNode* existing = FindSubkey(name)) return existing;
    subkeys_.emplace_back(std::string(name), std::make_unique<StoreKeyNode>());
    return subkeys_.back().second.get();
}

StoreKeyNode* StoreKeyNode::FindPath(std::string_view path) const {
    const StoreKeyNode* key = this;
    while (true) {
        const std::size_t separator = path.find('\\');
        const std::string_view name = path.substr(0, separator);
        if (!IsValidStoreKeyName(name)) return nullptr;
        key = key->FindSubkey(name);
        if (key == nullptr) return nullptr;
        if (separator == std::string_view::npos) return const_cast<StoreKeyNode*>(key);
        path.remove_prefix(separator + 1);
    }
}

StoreKeyNode* StoreKeyNode::CreatePath(std::string_view path) {
    StoreKeyNode* key = this;
    while (true) {
        const std::size_t separator = path.find('\\');
        key = key->CreateSubkey(path.substr(0, separator));
        if (key == nullptr || separator == std::string_view::npos) return key;
        path.remove_prefix(separator + 1);
    }
}

std::string FormatStore(const StoreKeyNode& root) {
    std::string out(kStoreFirstLine);
    out += '\n';
    for (const auto& [name, subkey] : root.Subkeys()) {
        std::string path;
        AppendEncoded(path, name, NameKind::Key);
        FormatKey(out, *subkey, path);
    }
    out += '\n';
    out += kStoreLastLine;
    out += '\n';
    return out;
}

std::optional<StoreKeyNode> ParseStore(std::string_view text) {
    StoreKeyNode root;
    StoreKeyNode* current = nullptr;
    bool first = true;
    bool ended = false;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        // A last line without its LF was cut short.
        if (end == std::string_view::npos) return std::nullopt;
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (line.ends_with('\r')) line.remove_suffix(1);

        if (first) {
            if (line != kStoreFirstLine) return std::nullopt;
            first = false;
            continue;
        }
        if (IsBlank(line)) continue;
        if (ended) return std::nullopt;  // nothing may follow the last line
        if (line == kStoreLastLine) {
            ended = true;
        } else if (line.front() == '[') {
            if (line.size() < 3 || line.back() != ']') return std::nullopt;
            current = CreateKeyOfLine(root, line.substr(1, line.size() - 2));
            if (current == nullptr) return std::nullopt;
        } else {
            if (current == nullptr) return std::nullopt;
            std::string name;
            std::string_view rest;
            if (line.starts_with("@=")) {
                rest = line.substr(2);
            } else if (line.front() == '"') {
                const std::size_t close = line.find('"', 1);
                if (close == std::string_view::npos || line.substr(close + 1, 1) != "=") return std::nullopt;
                std::optional<std::string> decoded = Decode(line.substr(1, close - 1));
                if (!decoded || decoded->empty()) return std::nullopt;
                name = std::move(*decoded);
                rest = line.substr(close + 2);
            } else {
                return std::nullopt;
            }
            std::optional<StoreValue> value = ParseValue(rest);
            if (!value) return std::nullopt;
            current->SetValue(name, std::move(*value));
        }
    }
    if (first || !ended) return std::nullopt;
    return root;
}

}  // namespace platform
