#include "cgi/upload/UploadProgram.h"

#include <optional>
#include <utility>
#include <vector>

#include "cgi/upload/UploadEnvironment.h"
#include "config/RegistryStore.h"
#include "core/HtmlText.h"
#include "platform/HostInfo.h"
#include "platform/HostPath.h"
#include "platform/TempFile.h"

namespace {

constexpr std::string_view kDestinationField = "dest";
constexpr std::string_view kFileField = "upl-file";

UploadOutcome Refused(std::string reason) {
    UploadOutcome outcome;
    outcome.refusal = std::move(reason);
    return outcome;
}

platform::PathKind ProbePath(std::string_view drivePath) {
    return platform::GetPathStatus(drivePath).kind;
}

// The server hands on the content type cut before its parameters.
bool IsFormData(std::string_view contentType) {
    constexpr std::string_view kFormData = "multipart/form-data";
    if (contentType.size() < kFormData.size()) return false;
    for (std::size_t i = 0; i < kFormData.size(); ++i) {
        const char c = contentType[i];
        if ((c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c) != kFormData[i]) return false;
    }
    const std::string_view rest = contentType.substr(kFormData.size());
    return rest.empty() || rest.front() == ';' || rest.front() == ' ';
}

std::string SizeText(std::uint64_t size) {
    return std::to_string(size) + (size == 1 ? " byte" : " bytes");
}

}  // namespace

UploadReceiver::UploadReceiver(const ServerSettings& settings) : settings_(settings) {
    // The upload directory is compared with destinations whose short names are
    // resolved, so its own are too.
    if (!settings_.UploadDir.Empty()) settings_.UploadDir.Assign(platform::ResolveShortNames(settings_.UploadDir));
}

bool UploadReceiver::Refuse(std::string reason) {
    outcome_.refusal = std::move(reason);
    staged_.Discard();
    return false;
}

bool UploadReceiver::OnPartBegin(const PartHeaders& headers) {
    field_ = Field::Other;
    if (headers.name == kDestinationField && !destinationSeen_) {
        field_ = Field::Destination;
        destination_.clear();
        return true;
    }
    // A text field of that name is no file; a second file is ignored.
    if (headers.name != kFileField || !headers.hasFileName || fileSeen_) return true;
    fileSeen_ = true;
    field_ = Field::File;
    browserName_ = headers.fileName;
    if (browserName_.empty()) return Refuse("No file was chosen.");
    if (destinationSeen_) {
        if (!Decide()) return false;
        staged_ = platform::StagedFile::CreateIn(target_.directory);
    } else {
        staged_ = platform::StagedFile::CreateIn(platform::TemporaryDirectory());
    }
    if (!staged_.IsOpen()) {
        return Refuse("The file could not be written" +
                      (decided_ ? " in " + target_.directory : std::string(" to the temporary directory")) + ".");
    }
    return true;
}

bool UploadReceiver::OnPartData(std::string_view bytes) {
    switch (field_) {
        case Field::Destination:
            if (destination_.size() + bytes.size() > kDestinationFieldCapacity) {
                destinationTooLong_ = true;
            } else {
                destination_.append(bytes);
            }
            return true;
        case Field::File:
            if (!staged_.Write(bytes)) return Refuse("The file could not be written; the drive may be full.");
            size_ += bytes.size();
            return true;
        case Field::Other:
            return true;
    }
    return true;
}

bool UploadReceiver::OnPartEnd() {
    if (field_ == Field::Destination) destinationSeen_ = true;
    field_ = Field::Other;
    return true;
}

bool UploadReceiver::Decide() {
    if (destinationTooLong_) {
        return Refuse("The destination is longer than " + std::to_string(kPathCapacity - 1) + " characters.");
    }
    TargetChoice choice = ChooseUploadTarget(destination_, browserName_, &ProbePath);
    if (!choice.accepted) return Refuse(std::move(choice.refusal));
    target_ = std::move(choice.target);
    // Checked as the names it stands for: "my%20docs" is the directory "my docs".
    target_.directory = platform::ResolveShortNames(target_.directory);
    std::string refusal;
    if (CheckUploadAllowed(settings_, target_, refusal) != 0) return Refuse(std::move(refusal));
    decided_ = true;
    return true;
}

UploadOutcome UploadReceiver::Conclude(MultipartStatus status) {
    if (!outcome_.refusal.empty()) return outcome_;
    switch (status) {
        case MultipartStatus::Complete:
            break;
        case MultipartStatus::Reading:
        case MultipartStatus::Truncated:
            Refuse("The upload ended before it was complete, so nothing was stored.");
            return outcome_;
        case MultipartStatus::Malformed:
        case MultipartStatus::Stopped:
            Refuse("The upload could not be read: it is not the multipart/form-data the upload form sends.");
            return outcome_;
    }
    if (!fileSeen_) {
        Refuse("No file was sent.");
        return outcome_;
    }
    if (!decided_) {
        if (!destinationSeen_) {
            Refuse("No destination was given.");
            return outcome_;
        }
        if (!Decide()) return outcome_;
        staged_ = staged_.CopyInto(target_.directory);
        if (!staged_.IsOpen()) {
            Refuse("The file could not be written in " + target_.directory + "; the drive may be full.");
            return outcome_;
        }
    }
    return Publish();
}

UploadOutcome UploadReceiver::Publish() {
    for (int number = 1; number <= kMaxNumberedNames; ++number) {
        const UploadTarget candidate{target_.directory, NumberedName(target_.name, number)};
        if (TargetPath(candidate).size() > kPathCapacity - 1) break;
        std::string refusal;
        if (CheckUploadAllowed(settings_, candidate, refusal) != 0) {
            Refuse(std::move(refusal));
            return outcome_;
        }
        switch (staged_.Publish(candidate.name)) {
            case platform::PublishResult::Published:
                outcome_.stored = true;
                outcome_.path = TargetPath(candidate);
                outcome_.size = size_;
                if (number > 1) outcome_.takenPath = TargetPath(target_);
                return outcome_;
            case platform::PublishResult::NameTaken:
                continue;
            case platform::PublishResult::Failed:
                Refuse("The file could not be stored as " + TargetPath(candidate) + ".");
                return outcome_;
        }
    }
    Refuse("No free name was found for " + TargetPath(target_) + ".");
    return outcome_;
}

std::string UploadAnswer(const UploadOutcome& outcome) {
    std::string page = "Content-Type: text/html\r\n\r\n";
    page += "<HTML><HEAD><TITLE>Pellora File Upload</TITLE></HEAD><BODY>\r\n";
    page += "<H2>Pellora File Upload</H2>\r\n";
    if (outcome.stored) {
        page += "<P>Stored <B>" + HtmlEscape(outcome.path) + "</B> (" + SizeText(outcome.size) + ").</P>\r\n";
        if (!outcome.takenPath.empty()) {
            page += "<P>" + HtmlEscape(outcome.takenPath) +
                    " already exists, so the file was stored under a new name.</P>\r\n";
        }
    } else {
        page += "<P>Nothing was stored. " + HtmlEscape(outcome.refusal) + "</P>\r\n";
    }
    page += "</BODY></HTML>\r\n";
    return page;
}

UploadOutcome ReceiveUpload(const ServerSettings& settings, platform::FileHandle& input) {
    UploadReceiver receiver(settings);
    MultipartReader reader(receiver);
    std::vector<char> buffer(kUploadReadChunk);
    while (reader.Status() == MultipartStatus::Reading) {
        const long got = input.Read(buffer.data(), buffer.size());
        if (got < 0) return Refused("The upload could not be read.");
        if (got == 0) {
            reader.Finish();
        } else {
            reader.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
        }
    }
    return receiver.Conclude(reader.Status());
}

int RunUploadProgram(platform::FileHandle& input, platform::FileHandle& output) {
    // The settings of the server that runs the program decide; run by hand, the
    // saved ones.
    ServerSettings settings;
    if (!TakeServerUploadSettings(settings)) LoadSettingsFromRegistry(settings);
    UploadOutcome outcome;
    const std::optional<std::string> contentType = platform::EnvironmentValue("CONTENT_TYPE");
    if (settings.UploadOn == 0) {
        outcome = Refused("Uploads are turned off on this server.");
    } else if (contentType && !IsFormData(*contentType)) {
        outcome = Refused("The upload must be sent as multipart/form-data, as the upload form sends it.");
    } else {
        outcome = ReceiveUpload(settings, input);
    }
    output.WriteAll(UploadAnswer(outcome));
    return outcome.stored ? 0 : 1;
}
