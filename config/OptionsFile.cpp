#include "config/OptionsFile.h"

#include <cstdint>
#include <optional>
#include <span>

#include "config/SettingsTable.h"
#include "core/TextHelpers.h"
#include "core/WriteString.h"
#include "platform/FileHandle.h"
#include "platform/HostInfo.h"
#include "platform/MessageBox.h"

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// A value is taken byte for byte up to its CR LF; a NUL inside it ends the field's text,
// so no NUL reaches a field, nor a written file.
std::string_view UpToNul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

// Hands out the value of each "key:value\r\n" line in turn; the key is never looked at.
// A line that an editor ended with a bare LF ends there too, so no value holds a line
// break.
class LineReader {
public:
    explicit LineReader(std::string_view text) : rest_(text) {}

    // nullopt when no colon or no line end is left, or the line ends before its colon.
    std::optional<std::string_view> NextValue() {
        const std::size_t colon = rest_.find(':');
        const std::size_t end = rest_.find('\n');
        if (colon == std::string_view::npos || end == std::string_view::npos || end < colon) {
            return std::nullopt;
        }
        std::string_view value = rest_.substr(colon + 1, end - colon - 1);
        if (value.ends_with('\r')) value.remove_suffix(1);
        rest_.remove_prefix(end + 1);
        return value;
    }

private:
    std::string_view rest_;
};

// A value longer than its field is cut to the field's capacity rather than refusing
// the file: the field is never overrun and no other field is touched.
void StoreValue(const SettingRow& row, ServerSettings& settings, std::string_view value) {
    const FieldRef field = row.reach(settings);
    if (row.type == SettingType::Integer) {
        *field.number = ParseDecimal(value);
    } else {
        field.AssignText(UpToNul(value));
    }
}

std::optional<std::span<const SettingRow>> RowsOfVersion(std::string_view version) {
    if (version == kOptionsRelease1) return SettingRows();
    if (version == kOptionsPreRelease2) return PreRelease2Rows();
    return std::nullopt;
}

void AppendLine(std::string& out, std::string_view key, std::string_view value) {
    out.append(key).append(":").append(value).append(kLineEnd);
}

void ShowError(std::string_view text) {
    platform::ShowMessageBox("Pellora Error", text, platform::MessageIcon::Exclamation);
}

void ShowPathError(std::string_view before, std::string_view path, std::string_view after) {
    std::string text(before);
    text.append(path).append(after);
    ShowError(text);
}

// Reads until the limit or the end of the file: a read may return fewer bytes than
// asked even when more follow. false on a read error.
bool ReadUpToLimit(platform::FileHandle& file, std::string& text) {
    text.resize(kOptionsFileReadLimit);
    std::size_t filled = 0;
    while (filled < text.size()) {
        const long got = file.Read(text.data() + filled, text.size() - filled);
        if (got < 0) return false;
        if (got == 0) break;
        filled += static_cast<std::size_t>(got);
    }
    text.resize(filled);
    return true;
}

}  // namespace

std::string FormatOptionsFile(const ServerSettings& settings) {
    std::string out;
    AppendLine(out, kOptionsHeaderKey, kOptionsRelease1);
    for (const SettingRow& row : SettingRows()) {
        const FieldValue value = ReadField(row, settings);
        if (row.type == SettingType::Integer) {
            AppendLine(out, row.fileKey, std::to_string(value.number));
        } else {
            AppendLine(out, row.fileKey, UpToNul(value.text));
        }
    }
    return out;
}

OptionsParseResult ParseOptionsText(std::string_view text, ServerSettings& settings) {
    LineReader lines(text);
    const std::optional<std::string_view> version = lines.NextValue();
    if (!version) return OptionsParseResult::UnknownHeader;
    const std::optional<std::span<const SettingRow>> rows = RowsOfVersion(*version);
    if (!rows) return OptionsParseResult::UnknownHeader;
    for (const SettingRow& row : *rows) {
        const std::optional<std::string_view> value = lines.NextValue();
        if (!value) return OptionsParseResult::LineMissing;
        StoreValue(row, settings, *value);
    }
    return OptionsParseResult::Complete;
}

// A failed or short write is not reported: the file was created, which is all the
// caller is told about.
int WriteOptionsFile(std::string_view path) {
    platform::FileHandle file = platform::CreateFileForWrite(path);
    if (!file.IsOpen()) {
        ShowPathError("Couldn't open file ", path, " for write.");
        return -1;
    }
    WriteString(file, FormatOptionsFile(Settings()));
    return 0;
}

int ReadOptionsFile(std::string_view path) {
    std::string text;
    {
        // Messages name the file as it was given.
        platform::FileHandle file = platform::OpenFileForRead(platform::PathFromWorkingDirectory(path));
        if (!file.IsOpen()) {
            ShowPathError("Couldn't open file ", path, " for read.");
            return -1;
        }
        if (!ReadUpToLimit(file, text)) {
            ShowPathError("Error while reading ", path, ".");
            return -1;
        }
    }
    if (text.size() >= kOptionsFileReadLimit) {
        ShowPathError("File ", path, " is not in the right format.");
        return -1;
    }
    if (ParseOptionsText(text, Settings()) != OptionsParseResult::Complete) {
        ShowError("Couldn't read options file.");
        return -1;
    }
    return 0;
}
