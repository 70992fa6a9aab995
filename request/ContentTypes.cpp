#include "request/ContentTypes.h"

#include <optional>
#include <string>

#include "platform/FileTypeRegistry.h"
#include "platform/OpenCommandRegistry.h"

namespace {

constexpr std::string_view kOwnPathCommand = "\"%1\"%*";

// From the last '.' of the whole text, dot included, ASCII lower-cased. The dot may lie
// in a directory name (c:\my.dir\notes gives ".dir\notes"); no dot, no extension.
std::optional<std::string> DottedExtension(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return std::nullopt;
    std::string extension(name.substr(dot));
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return extension;
}

const FileTypeEntry* FindTableRow(std::string_view dottedExtension) {
    const std::string_view bare = dottedExtension.substr(1);
    for (const FileTypeEntry& row : FileTypeTable) {
        if (row.Extension == bare) return &row;
    }
    return nullptr;
}

// A registration counts only when it says something.
bool TakeRegistered(const std::optional<std::string>& registered, FileTypeText& out) {
    if (!registered || registered->empty()) return false;
    out.Assign(*registered);
    return true;
}

int LookupRegisteredOpenCommand(std::string_view dottedExtension, FileTypeText& out) {
    return TakeRegistered(platform::RegisteredOpenCommand(dottedExtension), out) ? 0 : -1;
}

}  // namespace

int LookupContentType(std::string_view name, FileTypeText& out) {
    if (const auto extension = DottedExtension(name)) {
        if (const FileTypeEntry* row = FindTableRow(*extension)) {
            out.Assign(row->ContentType);
            return 0;
        }
        if (TakeRegistered(platform::RegisteredContentType(*extension), out)) return 0;
    }
    out.Assign(kDefaultContentType);
    return 0;
}

int LookupFileTypeDescription(std::string_view name, FileTypeText& out) {
    const auto extension = DottedExtension(name);
    if (!extension) return -1;
    if (const FileTypeEntry* row = FindTableRow(*extension)) {
        out.Assign(row->Description);
        return 0;
    }
    return TakeRegistered(platform::RegisteredTypeDescription(*extension), out) ? 0 : -1;
}

// The built-in table is not consulted: it knows no commands.
int LookupOpenCommand(std::string_view name, FileTypeText& out) {
    const auto extension = DottedExtension(name);
    if (!extension) return -1;
    if (*extension == ".exe" || *extension == ".bat") {
        out.Assign(kOwnPathCommand);
        return 0;
    }
    return LookupRegisteredOpenCommand(*extension, out);
}
