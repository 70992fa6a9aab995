#pragma once
// The upload program, run by the server as a CGI program for POST /@upload.exe: it
// reads the upload form's multipart/form-data from standard input as a stream, stores
// the file where the "dest" field says if the saved settings allow it, and answers
// with a short page that says what was stored where, or why nothing was.
#include <cstddef>
#include <cstdint>
#include <string>

#include "cgi/upload/MultipartReader.h"
#include "cgi/upload/UploadTarget.h"
#include "config/ServerSettings.h"
#include "platform/FileHandle.h"
#include "platform/StagedFile.h"

// Standard input is read in pieces of this size; nothing else grows with the upload.
inline constexpr std::size_t kUploadReadChunk = 64 * 1024;
// More of the destination field than this is no path the server can use.
inline constexpr std::size_t kDestinationFieldCapacity = 1024;
// "name (2).ext" up to "name (999).ext"; beyond that the directory is full of them.
inline constexpr int kMaxNumberedNames = 999;

struct UploadOutcome {
    bool stored = false;
    std::string path;        // drive form, as stored
    std::uint64_t size = 0;  // bytes stored
    std::string takenPath;   // the path asked for, when something had that name already
    std::string refusal;     // why nothing was stored
};

// Takes the parts of the upload form as they stream in. The file goes into a staged
// file in the destination directory, or, while the destination is not known yet
// (the field may come after the file), in the temporary directory; it is named
// only once the body has ended properly.
class UploadReceiver : public MultipartSink {
public:
    explicit UploadReceiver(const ServerSettings& settings);

    bool OnPartBegin(const PartHeaders& headers) override;
    bool OnPartData(std::string_view bytes) override;
    bool OnPartEnd() override;

    // After the reading: stores the file, or says why not.
    UploadOutcome Conclude(MultipartStatus status);

private:
    enum class Field { Other, Destination, File };

    bool Refuse(std::string reason);
    // Settles the target from the destination field and the browser's file name.
    bool Decide();
    UploadOutcome Publish();

    ServerSettings settings_;
    Field field_ = Field::Other;
    std::string destination_;
    bool destinationSeen_ = false;
    bool destinationTooLong_ = false;
    bool fileSeen_ = false;
    std::string browserName_;
    bool decided_ = false;
    UploadTarget target_;
    platform::StagedFile staged_;
    std::uint64_t size_ = 0;
    UploadOutcome outcome_;
};

// The whole CGI answer, header and page; every text from the request is escaped.
std::string UploadAnswer(const UploadOutcome& outcome);

// Reads the body from `input` to its end, or until it is refused, and stores the file
// as `settings` allow.
UploadOutcome ReceiveUpload(const ServerSettings& settings, platform::FileHandle& input);

// The program: the saved settings, the CONTENT_TYPE it was given, the body from
// `input`, the answer to `output`. 0 when a file was stored, 1 otherwise.
int RunUploadProgram(platform::FileHandle& input, platform::FileHandle& output);
