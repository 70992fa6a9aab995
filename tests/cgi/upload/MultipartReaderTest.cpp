// The multipart reader on the bodies the upload tests do not send, cut at every byte:
// the served tests and the fuzzer cover plain forms and the reader's own consistency.
#include "cgi/upload/MultipartReader.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// What the reader handed on, as text: "<name;file=f>data</>" for each part.
struct Recorder : MultipartSink {
    bool OnPartBegin(const PartHeaders& headers) override {
        said += "<" + headers.name + (headers.hasFileName ? ";file=" + headers.fileName : "") + ">";
        return true;
    }
    bool OnPartData(std::string_view bytes) override { return said.append(bytes), !bytes.empty(); }
    bool OnPartEnd() override { return said += "</>", true; }
    std::string said;
};

TEST(MultipartReader, BodiesComeApartTheSameHoweverTheyAreCut) {
    using enum MultipartStatus;
    const std::string b = "----b0undary", disposition = "Content-Disposition: form-data; name=";
    // File bytes that hold the boundary in every way short of ending the part.
    const std::string like = "--" + b + "x\r\n--" + b + "-x\r\n--" + b + "\rx\r\n--" + b + " \t y\r\n--" +
                             b.substr(0, 5) + "\r\n\r\n" + std::string("\0\r\n\xff\r", 5) + "\r\n-";
    // clang-format off
    const std::tuple<const char*, std::string, MultipartStatus, std::string> rows[] = {
        {"file bytes that look like the boundary", "--" + b + "\r\n" + disposition + "f; filename=a\r\n\r\n" + like +
         "\r\n--" + b + "--\r\n", Complete, "<f;file=a>" + like + "</>"},
        {"padding after boundaries, text after the last", "--" + b + " \t\r\n" + disposition + "\"d\"\r\n\r\nx\r\n--" +
         b + "-- \r\nepilogue\r\n--" + b + "\r\n", Complete, "<d>x</>"},
        {"bare line feeds, parameters in any order and case, escapes", "--b\n" + disposition + "\"d\"\n\nd:\\\n--b\n"
         "content-disposition: form-data; FileName = \"a;b=c%22%0D%0A\"; NAME=f\n\nx\r\ny\n--b--\n", Complete,
         "<d>d:\\</><f;file=a;b=c\"\r\n>x\r\ny</>"},
        // The last bytes could have begun a boundary, so they were never handed on.
        {"no closing boundary", "--" + b + "\r\n" + disposition + "f\r\n\r\npartial", Truncated, "<f>"},
        {"first line is no boundary", "name=value&x=y\r\n", Malformed, ""},
        {"a boundary longer than 200 characters", "--" + std::string(201, 'b') + "\r\n\r\n", Malformed, ""},
        {"a header line longer than its capacity", "--" + b + "\r\nX: " + std::string(kPartHeaderLineCapacity, 'h') +
         "\r\n\r\n", Malformed, ""}};
    // clang-format on
    for (const auto& [name, body, status, said] : rows) {
        for (std::size_t cut = 0; cut <= body.size(); ++cut) {
            Recorder recorder;
            MultipartReader reader(recorder);
            reader.Feed(std::string_view(body).substr(0, cut));
            reader.Feed(std::string_view(body).substr(cut));
            EXPECT_EQ(static_cast<int>(reader.Finish()), static_cast<int>(status)) << name << ", cut at " << cut;
            EXPECT_EQ(recorder.said, said) << name << ", cut at " << cut;
        }
    }
}

}  // namespace
