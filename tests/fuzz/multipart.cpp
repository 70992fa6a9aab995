// The upload program's multipart reader: the body comes apart the same way whole,
// in the pieces the input is cut into, and byte by byte.
#include <string>
#include <vector>

#include "cgi/upload/MultipartReader.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

// Every call in order, as text, with the sink's own consistency checked on the way.
class Recorder : public MultipartSink {
public:
    bool OnPartBegin(const PartHeaders& headers) override {
        FUZZ_CHECK(!open_);
        FUZZ_CHECK(headers.hasFileName || headers.fileName.empty());
        open_ = true;
        log += "begin name=" + headers.name + " file=" + (headers.hasFileName ? headers.fileName : "-") + "\n";
        return true;
    }
    bool OnPartData(std::string_view bytes) override {
        FUZZ_CHECK(open_ && !bytes.empty());
        data_ += bytes;
        return true;
    }
    bool OnPartEnd() override {
        FUZZ_CHECK(open_);
        open_ = false;
        log += "data " + data_ + "\nend\n";
        data_.clear();
        return true;
    }
    // Data of a part that never ended counts too.
    std::string Finished() const { return log + (open_ ? "open " + data_ : ""); }

    std::string log;

private:
    bool open_ = false;
    std::string data_;
};

std::string Read(const std::vector<std::string_view>& pieces, MultipartStatus& status) {
    Recorder recorder;
    MultipartReader reader(recorder);
    for (const std::string_view piece : pieces) {
        const MultipartStatus fed = reader.Feed(piece);
        FUZZ_CHECK(fed == reader.Status());
    }
    status = reader.Finish();
    FUZZ_CHECK(status != MultipartStatus::Reading && status != MultipartStatus::Stopped);
    return recorder.Finished() + " status " + std::to_string(static_cast<int>(status));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const std::vector<std::string_view> pieces = SplitPieces(AsView(data, size));
    std::string body;
    for (const std::string_view piece : pieces) body += piece;

    MultipartStatus wholeStatus{};
    const std::string whole = Read({body}, wholeStatus);
    MultipartStatus piecesStatus{};
    FUZZ_CHECK(Read(pieces, piecesStatus) == whole);
    std::vector<std::string_view> bytes;
    for (std::size_t i = 0; i < body.size(); ++i) bytes.push_back(std::string_view(body).substr(i, 1));
    MultipartStatus bytesStatus{};
    FUZZ_CHECK(Read(bytes, bytesStatus) == whole);
    return 0;
}
