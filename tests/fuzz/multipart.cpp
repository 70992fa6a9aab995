// The upload program's multipart reader takes a body apart alike whole, in pieces and byte by byte.
#include <string>
#include <vector>

#include "cgi/upload/MultipartReader.h"
#include "tests/fuzz/FuzzSupport.h"

// Every call in order, as text; parts never overlap, and data comes only inside one.
class Recorder : public MultipartSink {
public:
    bool OnPartBegin(const PartHeaders& headers) override {
        FUZZ_CHECK(!open && (headers.hasFileName || headers.fileName.empty()));
        open = true;
        log += "begin name=" + headers.name + " file=" + (headers.hasFileName ? headers.fileName : "-") + "\ndata ";
        return true;
    }
    bool OnPartData(std::string_view bytes) override {
        FUZZ_CHECK(open && !bytes.empty());
        log += bytes;
        return true;
    }
    bool OnPartEnd() override {
        FUZZ_CHECK(open);
        open = false;
        log += "\nend\n";
        return true;
    }
    std::string log;
    bool open = false;
};

static std::string Read(const std::vector<std::string_view>& pieces) {
    Recorder recorder;
    MultipartReader reader(recorder);
    for (const std::string_view piece : pieces) FUZZ_CHECK(reader.Feed(piece) == reader.Status());
    const MultipartStatus status = reader.Finish();
    FUZZ_CHECK(status != MultipartStatus::Reading && status != MultipartStatus::Stopped);
    // Data of a part that never ended counts too.
    return recorder.log + (recorder.open ? " open" : "") + " status " + std::to_string(static_cast<int>(status));
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::vector<std::string_view> pieces = SplitPieces(AsView(data, size));
    std::string body;
    for (const std::string_view piece : pieces) body += piece;
    std::vector<std::string_view> bytes;
    for (std::size_t i = 0; i < body.size(); ++i) bytes.push_back(std::string_view(body).substr(i, 1));
    const std::string whole = Read({body});
    FUZZ_CHECK(Read(pieces) == whole && Read(bytes) == whole);
    return 0;
}
