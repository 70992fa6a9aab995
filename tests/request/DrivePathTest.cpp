#include "request/DrivePath.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct NormalizeRow {
    const char* name;
    std::string path;
    DrivePathResult expected;
    std::string normalized;  // checked when Normalized
};
void PrintTo(const NormalizeRow& row, std::ostream* out) {
    *out << row.name;
}
std::string NormalizeRowName(const testing::TestParamInfo<NormalizeRow>& info) {
    return info.param.name;
}

class DrivePathNormalize : public testing::TestWithParam<NormalizeRow> {};

TEST_P(DrivePathNormalize, ResolvesLexicallyWithinDrive) {
    const NormalizeRow& row = GetParam();
    PathText normalized;
    EXPECT_EQ(NormalizeDrivePath(row.path, normalized), row.expected);
    if (row.expected == DrivePathResult::Normalized) {
        EXPECT_EQ(normalized.View(), row.normalized);
    }
}

constexpr auto kOk = DrivePathResult::Normalized;
constexpr auto kNotDrive = DrivePathResult::NotDriveForm;
constexpr auto kTooLong = DrivePathResult::TooLong;

// "c:\" and 252 more characters: 255 in all, the most a path holds.
const std::string kName252(252, 'n');
const std::string kLongest = "c:\\" + kName252;

INSTANTIATE_TEST_SUITE_P(
    DrivePath, DrivePathNormalize,
    testing::Values(NormalizeRow{"BareDriveStays", "c:", kOk, "c:"},
                    NormalizeRow{"RootLosesBackslash", "c:\\", kOk, "c:"},
                    NormalizeRow{"PlainPathUnchanged", "c:\\docs\\a.txt", kOk, "c:\\docs\\a.txt"},
                    NormalizeRow{"DotDropped", "c:\\a\\.\\b", kOk, "c:\\a\\b"},
                    NormalizeRow{"LeadingDotDropped", "c:\\.\\a", kOk, "c:\\a"},
                    NormalizeRow{"DoubledBackslashes", "c:\\\\a\\\\\\b", kOk, "c:\\a\\b"},
                    NormalizeRow{"DotDotTakesParent", "c:\\a\\b\\..\\c", kOk, "c:\\a\\c"},
                    NormalizeRow{"TrailingDotDot", "c:\\a\\b\\..", kOk, "c:\\a"},
                    NormalizeRow{"NeverAboveRoot", "c:\\a\\..\\..\\b", kOk, "c:\\b"},
                    NormalizeRow{"DotDotAtRoot", "c:\\..", kOk, "c:"},
                    NormalizeRow{"ManyDotDotsAtRoot", "c:\\..\\..\\..\\windows", kOk, "c:\\windows"},
                    NormalizeRow{"TrailingBackslash", "c:\\a\\", kOk, "c:\\a"},
                    NormalizeRow{"LetterCaseKept", "D:\\Docs\\ReadMe.TXT", kOk, "D:\\Docs\\ReadMe.TXT"},
                    NormalizeRow{"ThreeDotsIsAName", "c:\\...", kOk, "c:\\..."},
                    NormalizeRow{"DotsInsideName", "c:\\a..b\\..c", kOk, "c:\\a..b\\..c"},
                    NormalizeRow{"LeadingDotName", "c:\\.profile", kOk, "c:\\.profile"},
                    NormalizeRow{"BlankAndPercentKept", "c:\\a b\\x%20y", kOk, "c:\\a b\\x%20y"},
                    NormalizeRow{"WildcardKept", "c:\\docs\\*.txt", kOk, "c:\\docs\\*.txt"},
                    NormalizeRow{"NoBackslashAfterColon", "c:foo", kNotDrive, ""},
                    NormalizeRow{"DigitIsNoDrive", "1:\\x", kNotDrive, ""}, NormalizeRow{"Empty", "", kNotDrive, ""},
                    NormalizeRow{"LetterOnly", "c", kNotDrive, ""}, NormalizeRow{"ColonFirst", ":\\x", kNotDrive, ""},
                    NormalizeRow{"RelativePath", "docs\\a.txt", kNotDrive, ""},
                    NormalizeRow{"BackslashFirst", "\\c:\\x", kNotDrive, ""},
                    NormalizeRow{"LongestFits", kLongest, kOk, kLongest},
                    NormalizeRow{"OneTooManyIsTooLong", kLongest + "x", kTooLong, ""},
                    NormalizeRow{"LongestAfterCleanup", "c:\\\\" + kName252 + "\\.\\", kOk, kLongest},
                    // The length that counts is the result's, not the input's.
                    NormalizeRow{"LongInputShortResult", "c:\\" + std::string(400, 'a') + "\\..\\b", kOk, "c:\\b"},
                    NormalizeRow{"TwoLongComponentsTooLong",
                                 "c:\\" + std::string(200, 'a') + "\\" + std::string(200, 'b'), kTooLong, ""}),
    NormalizeRowName);

TEST(DrivePathNormalizeTwice, ChangesNothing) {
    // Normalizing twice changes nothing: the router may see a path it made itself.
    for (const char* path : {"c:\\a\\..\\..\\b\\.\\", "c:\\\\x\\\\y\\..", "c:\\", "Q:\\...\\a..b"}) {
        SCOPED_TRACE(path);
        PathText once;
        ASSERT_EQ(NormalizeDrivePath(path, once), kOk);
        PathText twice;
        ASSERT_EQ(NormalizeDrivePath(once, twice), kOk);
        EXPECT_EQ(twice.View(), once.View());
    }
}

}  // namespace
