// The streaming multipart reader: every body must come apart the same way whatever
// pieces it arrives in, and file bytes that merely look like a boundary stay data.
#include "cgi/upload/MultipartReader.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/support/TestDirectory.h"

namespace {

struct RecordedPart {
    std::string name;
    std::string fileName;
    bool hasFileName = false;
    std::string data;
    bool ended = false;

    bool operator==(const RecordedPart&) const = default;
};

std::ostream& operator<<(std::ostream& out, const RecordedPart& part) {
    return out << "{name=" << part.name << " file=" << (part.hasFileName ? part.fileName : "(none)")
               << " data=" << part.data.size() << " bytes" << (part.ended ? " ended" : " open") << "}";
}

class Recorder : public MultipartSink {
public:
    bool OnPartBegin(const PartHeaders& headers) override {
        parts.push_back({headers.name, headers.fileName, headers.hasFileName, "", false});
        return true;
    }
    bool OnPartData(std::string_view bytes) override {
        EXPECT_FALSE(bytes.empty()) << "no empty pieces";
        parts.back().data.append(bytes);
        return true;
    }
    bool OnPartEnd() override {
        parts.back().ended = true;
        return true;
    }

    std::vector<RecordedPart> parts;
};

struct Result {
    MultipartStatus status;
    std::vector<RecordedPart> parts;
};

Result ReadInPieces(std::string_view body, const std::vector<std::size_t>& cuts) {
    Recorder recorder;
    MultipartReader reader(recorder);
    std::size_t at = 0;
    for (std::size_t cut : cuts) {
        reader.Feed(body.substr(at, cut - at));
        at = cut;
    }
    reader.Feed(body.substr(at));
    return {reader.Finish(), recorder.parts};
}

const char* StatusName(MultipartStatus status) {
    switch (status) {
        case MultipartStatus::Reading:
            return "Reading";
        case MultipartStatus::Complete:
            return "Complete";
        case MultipartStatus::Truncated:
            return "Truncated";
        case MultipartStatus::Malformed:
            return "Malformed";
        case MultipartStatus::Stopped:
            return "Stopped";
    }
    return "?";
}

const std::string kBoundary = "----b0undary";
const std::string kDest = "Content-Disposition: form-data; name=\"dest\"\r\n\r\nC:\\docs\\";
std::string FilePart(std::string_view data, std::string_view fileName = "a.bin") {
    return "Content-Disposition: form-data; name=\"upl-file\"; filename=\"" + std::string(fileName) +
           "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + std::string(data);
}

// The body a browser sends for these parts.
std::string Body(const std::vector<std::string>& parts, std::string_view boundary = kBoundary) {
    std::string body;
    for (const std::string& part : parts) body += "--" + std::string(boundary) + "\r\n" + part + "\r\n";
    return body + "--" + std::string(boundary) + "--\r\n";
}

RecordedPart Dest(std::string data = "C:\\docs\\") {
    return {"dest", "", false, std::move(data), true};
}
RecordedPart File(std::string data, std::string fileName = "a.bin") {
    return {"upl-file", std::move(fileName), true, std::move(data), true};
}

// File bytes that hold the boundary in every way short of ending the part.
std::string BoundaryLikeBytes() {
    return "--" + kBoundary + "\r\n" + "x\r\n--" + kBoundary + "x" + "\r\n--" + kBoundary + "-x" + "\r\n--" +
           kBoundary + "\rx" + "\r\n--" + kBoundary + " \t y" + "\r\n--" + kBoundary.substr(0, 5) + "\r\n\r\n" +
           std::string("\0\r\n\xff\r", 5) + "\r\n-";
}

struct Row {
    const char* name;
    std::string body;
    MultipartStatus status;
    std::vector<RecordedPart> parts;
};

std::vector<Row> Rows() {
    const std::string binary = BoundaryLikeBytes();
    return {
        {"destination then file",
         Body({kDest, FilePart("hello\r\n")}),
         MultipartStatus::Complete,
         {Dest(), File("hello\r\n")}},
        {"file then destination", Body({FilePart("abc"), kDest}), MultipartStatus::Complete, {File("abc"), Dest()}},
        {"empty file", Body({kDest, FilePart("")}), MultipartStatus::Complete, {Dest(), File("")}},
        {"file bytes that look like the boundary",
         Body({FilePart(binary), kDest}),
         MultipartStatus::Complete,
         {File(binary), Dest()}},
        {"file ending in CR LF and dashes",
         Body({FilePart("end\r\n--\r\n")}),
         MultipartStatus::Complete,
         {File("end\r\n--\r\n")}},
        {"padding after every boundary",
         "--" + kBoundary + " \t\r\n" + kDest + "\r\n--" + kBoundary + "  \r\n" + FilePart("x") + "\r\n--" + kBoundary +
             "--",
         MultipartStatus::Complete,
         {Dest(), File("x")}},
        {"bare line feeds",
         "--b\nContent-Disposition: form-data; name=\"dest\"\n\nd:\\\n--b\n"
         "content-disposition: form-data; name=\"upl-file\"; filename=\"f\"\n\nx\r\ny\n--b--\n",
         MultipartStatus::Complete,
         {Dest("d:\\"), File("x\r\ny", "f")}},
        {"anything after the closing boundary",
         Body({FilePart("z")}) + "epilogue\r\n--" + kBoundary + "\r\n",
         MultipartStatus::Complete,
         {File("z")}},
        {"header names and values in any case",
         Body({"CONTENT-DISPOSITION: Form-Data; NAME=\"dest\"\r\n\r\nE:\\"}),
         MultipartStatus::Complete,
         {Dest("E:\\")}},
        {"a part without Content-Disposition",
         Body({"Content-Type: text/plain\r\n\r\nq"}),
         MultipartStatus::Complete,
         {{"", "", false, "q", true}}},
        {"a part without headers", Body({"\r\nq"}), MultipartStatus::Complete, {{"", "", false, "q", true}}},
        // The last bytes could have begun a boundary, so they were never handed on.
        {"no closing boundary",
         "--" + kBoundary + "\r\n" + FilePart("partial"),
         MultipartStatus::Truncated,
         {{"upl-file", "a.bin", true, "", false}}},
        {"cut inside a part's headers",
         "--" + kBoundary + "\r\nContent-Disposition: form-",
         MultipartStatus::Truncated,
         {}},
        {"cut right after a boundary",
         Body({kDest}).substr(0, Body({kDest}).size() - 4),
         MultipartStatus::Truncated,
         {{"dest", "", false, "C:\\docs\\", false}}},
        {"nothing at all", "", MultipartStatus::Truncated, {}},
        {"first line is no boundary", "name=value&x=y\r\n", MultipartStatus::Malformed, {}},
        {"a boundary with no characters", "--\r\n\r\n", MultipartStatus::Malformed, {}},
        {"a boundary longer than 200 characters", Body({kDest}, std::string(201, 'b')), MultipartStatus::Malformed, {}},
        {"a header line longer than its capacity",
         "--" + kBoundary + "\r\nX-Long: " + std::string(kPartHeaderLineCapacity, 'h') + "\r\n\r\n",
         MultipartStatus::Malformed,
         {}},
    };
}

void ExpectSame(const Row& row, const Result& result, const std::string& how) {
    EXPECT_STREQ(StatusName(result.status), StatusName(row.status)) << row.name << ", " << how;
    EXPECT_EQ(result.parts, row.parts) << row.name << ", " << how;
}

TEST(MultipartReader, BodiesComeApartWholeInOnePiece) {
    for (const Row& row : Rows()) ExpectSame(row, ReadInPieces(row.body, {}), "in one piece");
}

TEST(MultipartReader, BodiesComeApartTheSameWhereverTheyAreSplit) {
    for (const Row& row : Rows()) {
        for (std::size_t cut = 0; cut <= row.body.size(); ++cut) {
            ExpectSame(row, ReadInPieces(row.body, {cut}), "split at " + std::to_string(cut));
        }
    }
}

TEST(MultipartReader, BodiesComeApartTheSameByteByByte) {
    for (const Row& row : Rows()) {
        std::vector<std::size_t> cuts;
        for (std::size_t cut = 1; cut < row.body.size(); ++cut) cuts.push_back(cut);
        ExpectSame(row, ReadInPieces(row.body, cuts), "byte by byte");
    }
}

TEST(MultipartReader, BodiesComeApartTheSameInRandomChunks) {
    std::mt19937 random(5);
    for (const Row& row : Rows()) {
        for (int round = 0; round < 50; ++round) {
            std::vector<std::size_t> cuts;
            for (std::size_t at = random() % 7; at < row.body.size(); at += 1 + random() % 40) cuts.push_back(at);
            ExpectSame(row, ReadInPieces(row.body, cuts), "random round " + std::to_string(round));
        }
    }
}

TEST(MultipartReader, LargeBinaryFileInRandomChunksIsPassedOnByteForByte) {
    std::string data = PatternBytes(3 * 1024 * 1024, 9);
    // Sprinkle near-boundaries through it.
    const std::string nearMisses[] = {"\r\n--" + kBoundary + "x", "\r\n--" + kBoundary.substr(0, 7),
                                      "\r\n--" + kBoundary + "\rX"};
    for (std::size_t at = 1000, i = 0; at + 40 < data.size(); at += 77777, ++i) {
        const std::string& miss = nearMisses[i % 3];
        data.replace(at, miss.size(), miss);
    }
    const std::string body = Body({kDest, FilePart(data)});
    std::mt19937 random(17);
    std::vector<std::size_t> cuts;
    for (std::size_t at = 0; at < body.size(); at += 1 + random() % 100000) cuts.push_back(at);
    const Result result = ReadInPieces(body, cuts);
    EXPECT_EQ(result.status, MultipartStatus::Complete);
    ASSERT_EQ(result.parts.size(), 2u);
    EXPECT_TRUE(result.parts[1].data == data) << "file bytes differ";
}

// Memory stays bounded only if the data is handed on while the body still streams in.
TEST(MultipartReader, FileBytesAreHandedOnAsTheyArrive) {
    Recorder recorder;
    MultipartReader reader(recorder);
    reader.Feed("--" + kBoundary + "\r\n" + FilePart(""));
    const std::string chunk = PatternBytes(65536, 2);
    for (int i = 1; i <= 40; ++i) {
        reader.Feed(chunk);
        ASSERT_EQ(recorder.parts.size(), 1u);
        EXPECT_GE(recorder.parts[0].data.size(), i * chunk.size() - (kBoundary.size() + 4)) << "chunk " << i;
    }
    EXPECT_EQ(reader.Feed("\r\n--" + kBoundary + "--"), MultipartStatus::Complete);
    EXPECT_EQ(recorder.parts[0].data.size(), 40 * chunk.size());
}

class Stopper : public Recorder {
public:
    bool OnPartBegin(const PartHeaders& headers) override {
        Recorder::OnPartBegin(headers);
        return headers.name != "stop-at-begin";
    }
    bool OnPartData(std::string_view bytes) override {
        Recorder::OnPartData(bytes);
        return parts.back().name != "stop-at-data";
    }
};

TEST(MultipartReader, ASinkThatSaysStopIsCalledNoMore) {
    for (const std::string name : {"stop-at-begin", "stop-at-data"}) {
        const std::string body = Body({"Content-Disposition: form-data; name=\"" + name + "\"\r\n\r\nxyz", kDest});
        Stopper stopper;
        MultipartReader reader(stopper);
        EXPECT_EQ(reader.Feed(body), MultipartStatus::Stopped) << name;
        EXPECT_EQ(reader.Feed(body), MultipartStatus::Stopped) << name;
        EXPECT_EQ(reader.Finish(), MultipartStatus::Stopped) << name;
        EXPECT_EQ(stopper.parts.size(), 1u) << name;
        EXPECT_FALSE(stopper.parts[0].ended) << name;
    }
}

TEST(ContentDisposition, ParametersAreTakenAsBrowsersWriteThem) {
    struct DispositionRow {
        const char* name;
        std::string value;
        std::string fieldName;
        std::string fileName;
        bool hasFileName;
    };
    const DispositionRow rows[] = {
        {"a text field", " form-data; name=\"dest\"", "dest", "", false},
        {"a file", " form-data; name=\"upl-file\"; filename=\"a.txt\"", "upl-file", "a.txt", true},
        {"file name first, with ; and = inside quotes", "form-data; filename=\"a;b=c.txt\"; name=\"f\"", "f",
         "a;b=c.txt", true},
        {"unquoted values", "form-data; name=dest ; filename=x.bin", "dest", "x.bin", true},
        {"no file chosen", "form-data; name=\"upl-file\"; filename=\"\"", "upl-file", "", true},
        {"a whole Windows path, backslashes as they are", "form-data; name=\"f\"; filename=\"C:\\dir\\a.txt\"", "f",
         "C:\\dir\\a.txt", true},
        {"escaped quote, CR and LF", "form-data; name=\"f\"; filename=\"a%22b%0d%0Ac%41\"", "f", "a\"b\r\nc%41", true},
        {"names in any case, blanks around =", "form-data; NAME = \"dest\" ; FileName = \"a.txt\"", "dest", "a.txt",
         true},
        {"the extended form is not the plain one", "form-data; name=\"f\"; filename*=UTF-8''x.txt", "f", "", false},
        {"no parameters", "form-data", "", "", false},
        {"an unterminated quote runs to the end", "form-data; name=\"unterminated", "unterminated", "", false},
        {"a parameter without a value", "form-data; name; filename=\"z\"", "", "z", true},
    };
    for (const DispositionRow& row : rows) {
        const PartHeaders headers = ParseContentDisposition(row.value);
        EXPECT_EQ(headers.name, row.fieldName) << row.name;
        EXPECT_EQ(headers.fileName, row.fileName) << row.name;
        EXPECT_EQ(headers.hasFileName, row.hasFileName) << row.name;
    }
}

}  // namespace
