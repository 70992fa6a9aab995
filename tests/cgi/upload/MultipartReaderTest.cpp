// The streaming multipart reader: every body comes apart the same way whatever pieces
// it arrives in, and file bytes that merely look like a boundary stay data.
#include "cgi/upload/MultipartReader.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/support/TestDirectory.h"

namespace {

// What the reader handed on, as text: "<name;file=f>data</>" for each part.
class Recorder : public MultipartSink {
public:
    bool OnPartBegin(const PartHeaders& headers) override {
        part = headers.name;
        said += "<" + headers.name + (headers.hasFileName ? ";file=" + headers.fileName : "") + ">";
        return part != "stop-at-begin";
    }
    bool OnPartData(std::string_view bytes) override {
        EXPECT_FALSE(bytes.empty()) << "no empty pieces";
        said.append(bytes);
        data += bytes.size();
        return part != "stop-at-data";
    }
    bool OnPartEnd() override {
        said += "</>";
        return true;
    }
    std::string part;
    std::string said;
    std::size_t data = 0;
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
// The body a browser sends for these parts.
std::string Body(const std::vector<std::string>& parts, const std::string& boundary = kB) {
    std::string body;
    for (const std::string& part : parts) body += "--" + boundary + "\r\n" + part + "\r\n";
    return body + "--" + boundary + "--\r\n";
}

struct Row {
    const char* name;
    std::string body;
    MultipartStatus status;
    std::string said;
};

std::vector<Row> Rows() {
    using enum MultipartStatus;
    // File bytes that hold the boundary in every way short of ending the part.
    const std::string like = "--" + kB + "\r\nx\r\n--" + kB + "x\r\n--" + kB + "-x\r\n--" + kB + "\rx\r\n--" + kB +
                             " \t y\r\n--" + kB.substr(0, 5) + "\r\n\r\n" + std::string("\0\r\n\xff\r", 5) + "\r\n-";
    return {
        {"destination then file", Body({kDest, FilePart("hello\r\n")}), Complete, kSaidDest + SaidFile("hello\r\n")},
        {"file then destination", Body({FilePart("abc"), kDest}), Complete, SaidFile("abc") + kSaidDest},
        {"empty file", Body({kDest, FilePart("")}), Complete, kSaidDest + SaidFile("")},
        {"file bytes that look like the boundary", Body({FilePart(like), kDest}), Complete, SaidFile(like) + kSaidDest},
        {"file ending in CR LF and dashes", Body({FilePart("end\r\n--\r\n")}), Complete, SaidFile("end\r\n--\r\n")},
        {"padding after every boundary",
         "--" + kB + " \t\r\n" + kDest + "\r\n--" + kB + "  \r\n" + FilePart("x") + "\r\n--" + kB + "--", Complete,
         kSaidDest + SaidFile("x")},
        {"bare line feeds",
         "--b\nContent-Disposition: form-data; name=\"dest\"\n\nd:\\\n--b\n"
         "content-disposition: form-data; name=\"upl-file\"; filename=\"f\"\n\nx\r\ny\n--b--\n",
         Complete, "<dest>d:\\</><upl-file;file=f>x\r\ny</>"},
        {"anything after the closing boundary", Body({FilePart("z")}) + "epilogue\r\n--" + kB + "\r\n", Complete,
         SaidFile("z")},
        {"header names and values in any case", Body({"CONTENT-DISPOSITION: Form-Data; NAME=\"dest\"\r\n\r\nE:\\"}),
         Complete, "<dest>E:\\</>"},
        {"a part without Content-Disposition", Body({"Content-Type: text/plain\r\n\r\nq"}), Complete, "<>q</>"},
        {"a part without headers", Body({"\r\nq"}), Complete, "<>q</>"},
        // The last bytes could have begun a boundary, so they were never handed on.
        {"no closing boundary", "--" + kB + "\r\n" + FilePart("partial"), Truncated, "<upl-file;file=a.bin>"},
        {"cut inside a part's headers", "--" + kB + "\r\nContent-Disposition: form-", Truncated, ""},
        {"cut right after a boundary", Body({kDest}).substr(0, Body({kDest}).size() - 4), Truncated,
         "<dest>C:\\docs\\"},
        {"nothing at all", "", Truncated, ""},
        {"first line is no boundary", "name=value&x=y\r\n", Malformed, ""},
        {"a boundary with no characters", "--\r\n\r\n", Malformed, ""},
        {"a boundary longer than 200 characters", Body({kDest}, std::string(201, 'b')), Malformed, ""},
        {"a header line longer than its capacity",
         "--" + kB + "\r\nX-Long: " + std::string(kPartHeaderLineCapacity, 'h') + "\r\n\r\n", Malformed, ""},
    };
}

TEST(MultipartReader, BodiesComeApartTheSameHoweverTheyAreSplit) {
    const auto check = [](const Row& row, const std::vector<std::size_t>& cuts, const std::string& how) {
        Recorder recorder;
        MultipartReader reader(recorder);
        std::size_t at = 0;
        for (const std::size_t cut : cuts) reader.Feed(std::string_view(row.body).substr(at, cut - at)), at = cut;
        reader.Feed(std::string_view(row.body).substr(at));
        EXPECT_STREQ(kStatus[static_cast<int>(reader.Finish())], kStatus[static_cast<int>(row.status)])
            << row.name << ", " << how;
        EXPECT_EQ(recorder.said, row.said) << row.name << ", " << how;
    };
    std::mt19937 random(5);
    for (const Row& row : Rows()) {
        check(row, {}, "in one piece");
        std::vector<std::size_t> everyByte;
        for (std::size_t cut = 0; cut <= row.body.size(); ++cut) {
            check(row, {cut}, "split at " + std::to_string(cut));
            if (cut > 0 && cut < row.body.size()) everyByte.push_back(cut);
        }
        check(row, everyByte, "byte by byte");
        for (int round = 0; round < 50; ++round) {
            std::vector<std::size_t> cuts;
            for (std::size_t at = random() % 7; at < row.body.size(); at += 1 + random() % 40) cuts.push_back(at);
            check(row, cuts, "random round " + std::to_string(round));
        }
    }
}

// Memory stays bounded only if file bytes are handed on while the body still streams in.
TEST(MultipartReader, ALargeFileIsHandedOnByteForByteAsItArrives) {
    std::string data = PatternBytes(3 << 20, 9);
    const std::string misses[] = {"\r\n--" + kB + "x", "\r\n--" + kB.substr(0, 7), "\r\n--" + kB + "\rX"};
    for (std::size_t at = 1000, i = 0; at + 40 < data.size(); at += 77777, ++i) {
        data.replace(at, misses[i % 3].size(), misses[i % 3]);
    }
    const std::string body = Body({kDest, FilePart(data)});
    Recorder recorder;
    MultipartReader reader(recorder);
    std::mt19937 random(17);
    for (std::size_t at = 0, size; at < body.size(); at += size) {
        size = 1 + random() % 100000;
        reader.Feed(std::string_view(body).substr(at, size));
        // Held back at most: the part headers, boundary lines and a boundary's length.
        ASSERT_GE(recorder.data + 300, std::min(at + size, body.size())) << "fed " << at + size;
    }
    EXPECT_EQ(reader.Finish(), MultipartStatus::Complete);
    EXPECT_TRUE(recorder.said == kSaidDest + SaidFile(data)) << "file bytes differ";
}

TEST(MultipartReader, ASinkThatSaysStopIsCalledNoMore) {
    for (const std::string name : {"stop-at-begin", "stop-at-data"}) {
        const std::string body = Body({"Content-Disposition: form-data; name=\"" + name + "\"\r\n\r\nxyz", kDest});
        Recorder recorder;
        MultipartReader reader(recorder);
        EXPECT_EQ(reader.Feed(body), MultipartStatus::Stopped) << name;
        EXPECT_EQ(reader.Feed(body), MultipartStatus::Stopped) << name;
        EXPECT_EQ(reader.Finish(), MultipartStatus::Stopped) << name;
        EXPECT_EQ(recorder.said, name == "stop-at-begin" ? "<stop-at-begin>" : "<stop-at-data>xyz") << name;
    }
}

TEST(ContentDisposition, ParametersAreTakenAsBrowsersWriteThem) {
    struct DispositionRow {
        const char* name;
        std::string value;
        std::string expected;  // name;file=fileName, or name alone without a file name
    };
    const DispositionRow rows[] = {
        {"a text field", " form-data; name=\"dest\"", "dest"},
        {"a file", " form-data; name=\"upl-file\"; filename=\"a.txt\"", "upl-file;file=a.txt"},
        {"file name first, ; and = in quotes", "form-data; filename=\"a;b=c.txt\"; name=\"f\"", "f;file=a;b=c.txt"},
        {"unquoted values", "form-data; name=dest ; filename=x.bin", "dest;file=x.bin"},
        {"no file chosen", "form-data; name=\"upl-file\"; filename=\"\"", "upl-file;file="},
        {"a Windows path as it is", "form-data; name=\"f\"; filename=\"C:\\dir\\a.txt\"", "f;file=C:\\dir\\a.txt"},
        {"escaped quote, CR and LF", "form-data; name=\"f\"; filename=\"a%22b%0d%0Ac%41\"", "f;file=a\"b\r\nc%41"},
        {"names in any case, blanks around =", "form-data; NAME = \"dest\" ; FileName = \"a.txt\"", "dest;file=a.txt"},
        {"the extended form is not the plain one", "form-data; name=\"f\"; filename*=UTF-8''x.txt", "f"},
        {"no parameters", "form-data", ""},
        {"an unterminated quote runs to the end", "form-data; name=\"unterminated", "unterminated"},
        {"a parameter without a value", "form-data; name; filename=\"z\"", ";file=z"},
    };
    for (const DispositionRow& row : rows) {
        const PartHeaders headers = ParseContentDisposition(row.value);
        EXPECT_EQ(headers.name + (headers.hasFileName ? ";file=" + headers.fileName : ""), row.expected) << row.name;
    }
}

}  // namespace
