#include "cgi/upload/UploadTarget.h"

#include "request/AccessControl.h"
#include "request/DrivePath.h"

namespace {

std::string_view TrimSpace(std::string_view text) {
    constexpr std::string_view kSpace = " \t\r\n";
    const std::size_t first = text.find_first_not_of(kSpace);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

}  // namespace

std::string BaseNameOf(std::string_view browserFileName) {
    const std::size_t slash = browserFileName.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? browserFileName : browserFileName.substr(slash + 1));
}

bool IsUsableFileName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '\\' || c == '/') return false;
    }
    return true;
}

TargetChoice ChooseUploadTarget(std::string_view destination, std::string_view browserFileName,
                                const PathProbe& probe) {
    TargetChoice choice;
    const std::string typed = WithBackslashes(TrimSpace(destination));
    if (typed.empty()) {
        choice.refusal = "No destination was given.";
        return choice;
    }
    std::string normalized;
    if (NormalizeDrivePath(typed, normalized) != DrivePathResult::Normalized) {
        choice.refusal = "The destination " + typed + " is not a full path such as C:\\docs\\.";
        return choice;
    }
    const std::string_view last = std::string_view(typed).substr(typed.find_last_of("\\:") + 1);
    const bool namesDirectory =
        last.empty() || last == "." || last == ".." || probe(normalized) == platform::PathKind::Directory;
    if (namesDirectory) {
        choice.target.directory = normalized;
        choice.target.name = BaseNameOf(browserFileName);
    } else {
        const std::size_t slash = normalized.rfind('\\');
        choice.target.directory = normalized.substr(0, slash);
        choice.target.name = normalized.substr(slash + 1);
    }
    if (!IsUsableFileName(choice.target.name)) {
        choice.refusal = "The file name \"" + choice.target.name + "\" cannot be used";
        choice.refusal += namesDirectory ? "; give a full name as destination." : ".";
        return choice;
    }
    if (TargetPath(choice.target).size() > kPathCapacity - 1) {
        choice.refusal = "The destination is longer than " + std::to_string(kPathCapacity - 1) + " characters.";
        return choice;
    }
    if (probe(choice.target.directory) != platform::PathKind::Directory) {
        choice.refusal = "The directory " + choice.target.directory + " does not exist.";
        return choice;
    }
    choice.accepted = true;
    return choice;
}

int CheckUploadAllowed(const ServerSettings& settings, const UploadTarget& target, std::string& refusal) {
    if (settings.UploadAccessType == 0) {
        std::string uploadDir;
        if (settings.UploadDir.Empty()) {
            refusal = "No upload directory is set on this server.";
            return -1;
        }
        if (NormalizeDrivePath(settings.UploadDir.View(), uploadDir) != DrivePathResult::Normalized) {
            refusal = "The upload directory " + std::string(settings.UploadDir) + " is not a full path.";
            return -1;
        }
        if (!DirectoryHolds(uploadDir, target.directory)) {
            refusal = "Files may be stored only in " + uploadDir + " and the directories below it.";
            return -1;
        }
        return 0;
    }
    if (CheckDirectoryAccess(settings, TargetPath(target)) != 0) {
        refusal = "The directory " + target.directory + " is not open for uploads.";
        return -1;
    }
    return 0;
}

std::string NumberedName(std::string_view name, int number) {
    if (number <= 1) return std::string(name);
    const std::string suffix = " (" + std::to_string(number) + ")";
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return std::string(name) + suffix;
    return std::string(name.substr(0, dot)) + suffix + std::string(name.substr(dot));
}

std::string TargetPath(const UploadTarget& target) {
    return target.directory + "\\" + target.name;
}
