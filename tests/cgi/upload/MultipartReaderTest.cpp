// The streaming multipart reader: what each body comes apart into, however it is cut,
// and file bytes that merely look like a boundary stay data.
#include "cgi/upload/MultipartReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// What the reader handed on, as text: "<name;file=f>data</>" for each part.
class Recorder : public MultipartSink {
public:
    bool OnPartBegin(const PartHeaders& headers) override {
        said += "<" + headers.name + (headers.hasFileName ? ";file=" + headers.fileName : "") + ">";
        return true;
    }
    bool OnPartData(std::string_view bytes) override {
        EXPECT_FALSE(bytes.empty()) << "no empty pieces";
        said.append(bytes);
        return true;
    }
    bool OnPartEnd() override { return said += "</>", true; }
    std::string said;
};

const char* const kStatus[] = {"Reading", "Complete", "Truncated", "Malformed", "Stopped"};
const std::string kB = "----b0undary";
const std::string kDest = "Content-Disposition: form-data; name=\"dest\"\r\n\r\nC:\\docs\\";
const std::string kSaidDest = "<dest>C:\\docs\\</>";
std::string FilePart(std::string_view data) {
    return "Content-Disposition: form-data; name=\"upl-file\"; filename=\"a.bin\"\r\n"
           "Content-Type: application/octet-stream\r\n\r\n" +
           std::string(data);
}
std::string SaidFile(std::string_view data) {
    return "<upl-file;file=a.bin>" + std::string(data) + "</>";
}
std::string Body(const std::vector<std::string>& parts, const std::string& boundary = kB) {
    std::string body;
    for (const std::string& part : parts) body += "--" + boundary + "\r\n" + part + "\r\n";
    return body + "--" + boundary + "--\r\n";
}

TEST(MultipartReader, BodiesComeApartTheSameHoweverTheyAreCut) {
    using enum MultipartStatus;
    // File bytes that hold the boundary in every way short of ending the part.
    const std::string like = "--" + kB + "\r\nx\r\n--" + kB + "x\r\n--" + kB + "-x\r\n--" + kB + "\rx\r\n--" + kB +
                             " \t y\r\n--" + kB.substr(0, 5) + "\r\n\r\n" + std::string("\0\r\n\xff\r", 5) + "\r\n-";
    // clang-format off
    const struct { const char* name; std::string body; MultipartStatus status; std::string said; } rows[] = {
        {"file then destination", Body({FilePart("abc"), kDest}), Complete, SaidFile("abc") + kSaidDest},
        {"file bytes that look like the boundary", Body({FilePart(like), kDest}), Complete, SaidFile(like) + kSaidDest},
        {"padding after every boundary", "--" + kB + " \t\r\n" + kDest + "\r\n--" + kB + "  \r\n" + FilePart("x") +
         "\r\n--" + kB + "--", Complete, kSaidDest + SaidFile("x")},
        {"bare line feeds", "--b\nContent-Disposition: form-data; name=\"dest\"\n\nd:\\\n--b\ncontent-disposition: "
         "form-data; name=\"upl-file\"; filename=\"f\"\n\nx\r\ny\n--b--\n", Complete,
         "<dest>d:\\</><upl-file;file=f>x\r\ny</>"},
        {"anything after the closing boundary", Body({FilePart("z")}) + "epilogue\r\n--" + kB + "\r\n", Complete,
         SaidFile("z")},
        // The last bytes could have begun a boundary, so they were never handed on.
        {"no closing boundary", "--" + kB + "\r\n" + FilePart("partial"), Truncated, "<upl-file;file=a.bin>"},
        {"nothing at all", "", Truncated, ""},
        {"first line is no boundary", "name=value&x=y\r\n", Malformed, ""},
        {"a boundary longer than 200 characters", Body({kDest}, std::string(201, 'b')), Malformed, ""},
        {"a header line longer than its capacity",
         "--" + kB + "\r\nX-Long: " + std::string(kPartHeaderLineCapacity, 'h') + "\r\n\r\n", Malformed, ""}};
    // clang-format on
    for (const auto& row : rows) {
        // Whole, cut once at every byte, and byte by byte.
        for (std::size_t cut = 0; cut <= row.body.size() + 1; ++cut) {
            Recorder recorder;
            MultipartReader reader(recorder);
            if (cut <= row.body.size()) {
                reader.Feed(std::string_view(row.body).substr(0, cut));
                reader.Feed(std::string_view(row.body).substr(cut));
            } else {
                for (const char c : row.body) reader.Feed(std::string_view(&c, 1));
            }
            EXPECT_STREQ(kStatus[static_cast<int>(reader.Finish())], kStatus[static_cast<int>(row.status)])
                << row.name << ", cut at " << cut;
            EXPECT_EQ(recorder.said, row.said) << row.name << ", cut at " << cut;
        }
    }
}

TEST(ContentDisposition, ParametersAreTakenAsBrowsersWriteThem) {
    // the header's value, then name;file=fileName (or the name alone without a file name)
    const std::pair<const char*, const char*> rows[] = {
        {"form-data; filename=\"a;b=c.txt\"; name=\"f\"", "f;file=a;b=c.txt"},
        {"form-data; name=\"f\"; filename=\"a%22b%0d%0Ac%41\"", "f;file=a\"b\r\nc%41"},
        {"form-data; NAME = \"dest\" ; FileName = \"a.txt\"", "dest;file=a.txt"},
        {"form-data; name=\"f\"; filename*=UTF-8''x.txt", "f"},
        {"form-data; name; filename=z", ";file=z"}};
    for (const auto& [value, expected] : rows) {
        const PartHeaders headers = ParseContentDisposition(value);
        EXPECT_EQ(headers.name + (headers.hasFileName ? ";file=" + headers.fileName : ""), expected) << value;
    }
}

}  // namespace
