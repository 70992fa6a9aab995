#include "platform/FileTypeRegistry.h"

#include <array>
#include <cstddef>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unordered_map>
#include <utility>
#include <vector>

namespace platform {
namespace {

constexpr const char* kSystemMimeTypesFile = "/etc/mime.types";
constexpr const char* kDefaultDataDirs = "/usr/local/share:/usr/share";
// A type's description file is a few KiB; the unlocalized comment comes first.
constexpr std::size_t kMaxDescriptionFileBytes = 1 << 20;

struct Registry {
    bool loaded = false;
    std::unordered_map<std::string, std::string> contentTypes;  // ".pdf" -> "application/pdf"
    std::vector<std::string> dataDirs;
    // Only registered extensions are cached, so the cache is bounded by mime.types.
    std::unordered_map<std::string, std::optional<std::string>> descriptions;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

bool IsAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::string LowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return text;
}

std::string EnvironmentOr(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

// A MIME name part may start only with a letter or digit, so "." and ".." never
// pass and a type always names a file below a mime/ directory.
bool IsMimeNamePart(std::string_view part) {
    if (part.empty() || !IsAsciiAlnum(part[0])) return false;
    for (char c : part) {
        if (!IsAsciiAlnum(c) && std::string_view("!#$&-^_.+").find(c) == std::string_view::npos) return false;
    }
    return true;
}

bool IsMimeTypeName(std::string_view type) {
    const std::size_t slash = type.find('/');
    if (slash == std::string_view::npos) return false;
    return IsMimeNamePart(type.substr(0, slash)) && IsMimeNamePart(type.substr(slash + 1));
}

// "type/subtype ext1 ext2 ..."; the first mention of an extension wins.
void AddMimeTypesLine(const std::string& line, std::unordered_map<std::string, std::string>& types) {
    std::istringstream words(line.substr(0, line.find('#')));
    std::string type;
    if (!(words >> type) || !IsMimeTypeName(type)) return;
    type = LowerAscii(type);
    for (std::string extension; words >> extension;) {
        std::string dotted(1, '.');
        dotted += LowerAscii(std::move(extension));
        types.try_emplace(std::move(dotted), type);
    }
}

std::unordered_map<std::string, std::string> ReadMimeTypes(const std::string& path) {
    std::unordered_map<std::string, std::string> types;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) AddMimeTypesLine(line, types);
    return types;
}

// Relative entries are ignored, as the XDG base directory rules say.
std::vector<std::string> SplitDataDirs(const std::string& list) {
    std::vector<std::string> dirs;
    std::istringstream entries(list);
    for (std::string dir; std::getline(entries, dir, ':');) {
        if (!dir.empty() && dir.front() == '/') dirs.push_back(dir);
    }
    return dirs;
}

std::string DataDirsSetting() {
    const std::string xdgDataDirs = EnvironmentOr("XDG_DATA_DIRS", kDefaultDataDirs);
    return EnvironmentOr("PELLORA_MIME_DIRS", xdgDataDirs.c_str());
}

Registry& LoadedRegistry() {
    Registry& registry = TheRegistry();
    if (!registry.loaded) {
        registry.loaded = true;
        registry.contentTypes = ReadMimeTypes(EnvironmentOr("PELLORA_MIME_TYPES", kSystemMimeTypesFile));
        registry.dataDirs = SplitDataDirs(DataDirsSetting());
    }
    return registry;
}

std::optional<std::string> ReadSmallFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::string text;
    std::array<char, 4096> chunk;
    while (text.size() < kMaxDescriptionFileBytes) {
        file.read(chunk.data(), std::streamsize(chunk.size()));
        text.append(chunk.data(), std::size_t(file.gcount()));
        if (!file) break;
    }
    return text;
}

std::optional<char> DecodeEntity(std::string_view name) {
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& [entity, character] : kNamed) {
        if (name == entity) return character;
    }
    return std::nullopt;
}

// Only the five predefined entities; any other reference is kept as written.
std::string DecodeEntities(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t semicolon = text[i] == '&' ? text.find(';', i) : std::string_view::npos;
        if (semicolon != std::string_view::npos) {
            if (auto decoded = DecodeEntity(text.substr(i + 1, semicolon - i - 1))) {
                out += *decoded;
                i = semicolon + 1;
                continue;
            }
        }
        out += text[i++];
    }
    return out;
}

bool IsXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view TrimXmlSpace(std::string_view text) {
    while (!text.empty() && IsXmlSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsXmlSpace(text.back())) text.remove_suffix(1);
    return text;
}

// `tag` is the text between '<' and '>'. An empty <comment/> says nothing, so it is skipped.
bool IsUnlocalizedCommentTag(std::string_view tag) {
    constexpr std::string_view kName = "comment";
    if (tag.substr(0, kName.size()) != kName) return false;
    const std::string_view attributes = tag.substr(kName.size());
    if (attributes.empty()) return true;
    if (!IsXmlSpace(attributes.front()) || attributes.back() == '/') return false;
    return attributes.find("xml:lang") == std::string_view::npos;
}

// The text of the first <comment> without xml:lang: the description in no language
// in particular, which shared-mime-info writes in English.
std::optional<std::string> FirstUnlocalizedComment(std::string_view xml) {
    std::size_t pos = 0;
    while ((pos = xml.find('<', pos)) != std::string_view::npos) {
        const bool isXmlComment = xml.substr(pos, 4) == "<!--";
        const std::size_t tagEnd = xml.find(isXmlComment ? "-->" : ">", pos);
        if (tagEnd == std::string_view::npos) return std::nullopt;
        const std::string_view tag = xml.substr(pos + 1, tagEnd - pos - 1);
        pos = tagEnd + 1;
        if (isXmlComment || !IsUnlocalizedCommentTag(tag)) continue;
        const std::size_t close = xml.find("</comment", pos);
        if (close == std::string_view::npos) return std::nullopt;
        return DecodeEntities(TrimXmlSpace(xml.substr(pos, close - pos)));
    }
    return std::nullopt;
}

std::optional<std::string> ReadDescription(const std::vector<std::string>& dataDirs, const std::string& contentType) {
    for (const std::string& dir : dataDirs) {
        std::string path = dir;
        path += "/mime/";
        path += contentType;
        path += ".xml";
        const auto xml = ReadSmallFile(path);
        if (!xml) continue;
        auto comment = FirstUnlocalizedComment(*xml);
        if (comment && !comment->empty()) return comment;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> RegisteredContentType(std::string_view extension) {
    const Registry& registry = LoadedRegistry();
    const auto found = registry.contentTypes.find(std::string(extension));
    if (found == registry.contentTypes.end()) return std::nullopt;
    return found->second;
}

std::optional<std::string> RegisteredTypeDescription(std::string_view extension) {
    Registry& registry = LoadedRegistry();
    const std::string key(extension);
    if (const auto cached = registry.descriptions.find(key); cached != registry.descriptions.end())
        return cached->second;
    const auto type = registry.contentTypes.find(key);
    if (type == registry.contentTypes.end()) return std::nullopt;
    auto description = ReadDescription(registry.dataDirs, type->second);
    registry.descriptions.emplace(key, description);
    return description;
}

void ResetFileTypeRegistryForTests() {
    TheRegistry() = Registry{};
}

}  // namespace platform
