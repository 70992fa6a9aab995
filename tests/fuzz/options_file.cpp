// Whatever the options-file reader takes in, the record it leaves is written and read back alike.
#include "config/OptionsFile.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    // As ReadOptionsFile would, only text below its read limit reaches the parser.
    if (size >= kOptionsFileReadLimit) return 0;
    ServerSettings settings;
    const OptionsParseResult result = ParseOptionsText(AsView(data, size), settings);
    const std::string written = FormatOptionsFile(settings);
    ServerSettings again;
    FUZZ_CHECK(ParseOptionsText(written, again) == OptionsParseResult::Complete && FormatOptionsFile(again) == written);
    if (result == OptionsParseResult::UnknownHeader) FUZZ_CHECK(written == FormatOptionsFile(ServerSettings{}));
    return 0;
}
