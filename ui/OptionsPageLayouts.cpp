#include "ui/OptionsPageLayouts.h"

#include <array>

using platform::ControlKind;
using platform::ControlTemplate;
using platform::DialogTemplate;

namespace {

constexpr int kPageWidth = 380;
constexpr int kPageHeight = 320;

constexpr ControlTemplate Label(int id, const char* text, platform::Bounds bounds) {
    return {id, ControlKind::Label, text, bounds};
}
constexpr ControlTemplate Group(int id, const char* text, platform::Bounds bounds) {
    return {id, ControlKind::GroupBox, text, bounds};
}
constexpr ControlTemplate Radio(int id, const char* text, platform::Bounds bounds, int group) {
    return {id, ControlKind::RadioButton, text, bounds, group};
}
constexpr ControlTemplate Check(int id, const char* text, platform::Bounds bounds) {
    return {id, ControlKind::CheckBox, text, bounds};
}
constexpr ControlTemplate Box(int id, platform::Bounds bounds, bool digitsOnly = false) {
    return {id, ControlKind::TextBox, "", bounds, 0, digitsOnly};
}
constexpr ControlTemplate Button(int id, const char* text, platform::Bounds bounds) {
    return {id, ControlKind::Button, text, bounds};
}
constexpr ControlTemplate SortedList(int id, platform::Bounds bounds) {
    return {id, ControlKind::ListBox, "", bounds, 0, false, true};
}

constexpr std::array kGeneral{
    Label(general::kPortLabel, "Port number:", {10, 12, 100, 20}),
    Box(general::kPortBox, {112, 10, 90, 24}, true),
    Group(general::kRootGroup, "How do you want the root of your Web site generated....", {6, 44, 368, 132}),
    Radio(general::kDriveIndex, "Display an index of drives", {18, 64, 350, 20}, 1),
    Radio(general::kRootFileChoice, "Use a particular file - i.e. d:\\path\\index.htm", {18, 86, 350, 20}, 1),
    Label(general::kFileLabel, "File name:", {38, 114, 70, 20}),
    ControlTemplate{general::kRootFileBox, ControlKind::ComboBox, "", {110, 110, 176, 26}},
    Button(general::kBrowse, "Browse...", {292, 110, 76, 26}),
    Radio(general::kRootErrorChoice, "Display an error message", {18, 146, 350, 20}, 1),
    Group(general::kDirectoryGroup, "Where do you want the root directory defined...", {6, 184, 368, 128}),
    Label(general::kRootDirLabel, "Document root directory:", {18, 204, 350, 18}),
    Box(general::kRootDirBox, {18, 224, 350, 24}),
    Label(general::kCgiDirLabel, "CGI-bin directory relative to document root:", {18, 252, 350, 18}),
    Box(general::kCgiDirBox, {18, 272, 350, 24}),
};

constexpr std::array kDirectories{
    Group(directories::kGenerateGroup, "How do you want the directories of your Web site generated...",
          {6, 6, 368, 200}),
    Radio(directories::kListing, "Display an index of files and subdirectories", {18, 26, 350, 20}, 1),
    Group(directories::kFileGroup, "Use a particular file...  i.e. index.htm", {18, 52, 346, 146}),
    Label(directories::kFileLabel, "File name:", {30, 76, 70, 20}),
    Box(directories::kFileBox, {104, 72, 250, 24}),
    Radio(directories::kIndexElseListing, "Generate an index if this file is not found", {30, 104, 330, 20}, 1),
    Radio(directories::kIndexElseError, "Generate an error if this file is not found", {30, 128, 330, 20}, 1),
    Radio(directories::kError, "Display an error message", {30, 160, 330, 20}, 1),
    Group(directories::kStyleGroup, "In which style do you want the index to be displayed...", {6, 214, 368, 84}),
    Radio(directories::kTableStyle, "Use HTML <TABLE> format  (for better view and resize)", {18, 238, 350, 20}, 2),
    Radio(directories::kPreStyle, "Use HTML <PRE> format (for better performance)", {18, 264, 350, 20}, 2),
};

constexpr std::array kNetwork{
    Group(network::kModeGroup, "IP access properties...", {6, 6, 368, 96}),
    Radio(network::kAll, "All - allow access to all users", {18, 26, 350, 20}, 1),
    Radio(network::kSelective, "Selective - only allow access to the IP addresses in the list below", {18, 50, 350, 20},
          1),
    Radio(network::kRestrictive, "Restrictive - allow access to all IP addresses, except those in the list",
          {18, 74, 350, 20}, 1),
    Label(network::kListLabel, "IP address list:", {8, 110, 200, 18}),
    Box(network::kEntryBox, {8, 130, 250, 24}),
    Button(network::kAdd, "&Add", {268, 130, 90, 26}),
    SortedList(network::kList, {8, 162, 250, 92}),
    Button(network::kRemove, "&Remove", {268, 162, 90, 26}),
    Label(network::kHint,
          "If you enter a partial IP address, it will be applied to that  whole IP domain. For example, if you only "
          "enter 255.255, all IP addresses that start with 255.255, regardless of the rest of the IP, will be "
          "affected.",
          {8, 258, 366, 58}),
};

constexpr std::array kSharing{
    Group(sharing::kModeGroup, "Directory sharing properties...", {6, 6, 368, 96}),
    Radio(sharing::kAll, "All - allow access to all directories", {18, 26, 350, 20}, 1),
    Radio(sharing::kSelective, "Selective - only allow access to the directories in the list below", {18, 50, 350, 20},
          1),
    Radio(sharing::kRestrictive, "Restrictive - allow access to all directories, except those in the list",
          {18, 74, 350, 20}, 1),
    Label(sharing::kListLabel, "Directory path list:", {8, 110, 200, 18}),
    Box(sharing::kEntryBox, {8, 130, 270, 24}),
    Button(sharing::kAdd, "&Add", {288, 130, 80, 26}),
    SortedList(sharing::kList, {8, 162, 270, 140}),
    Button(sharing::kRemove, "&Remove", {288, 162, 80, 26}),
};

constexpr std::array kLogging{
    Group(logging::kGroup, "Logging setting...", {6, 6, 368, 118}),
    Check(logging::kEnable, "Enable logging", {18, 28, 300, 20}),
    Label(logging::kFileLabel, "Log file name:", {18, 58, 300, 18}),
    Box(logging::kFileBox, {18, 80, 264, 24}),
    Button(logging::kBrowse, "Browse...", {288, 79, 76, 26}),
};

constexpr std::array kUpload{
    Check(upload::kEnable, "Enable built-in upload capability", {8, 8, 364, 20}),
    Group(upload::kGroup, "Built-in upload options...", {6, 36, 368, 156}),
    Radio(upload::kOneDirectory, "Allow upload only to the folllowing directory", {18, 58, 350, 20}, 1),
    Label(upload::kDirectoryLabel, "Directory name:", {38, 86, 110, 20}),
    Box(upload::kDirectoryBox, {150, 82, 214, 24}),
    Radio(upload::kAllShared, "Allow upload to all shared directories", {18, 116, 350, 20}, 1),
    Check(upload::kIncludeLink, "Add link to built-in upload page during directory browsing", {18, 150, 350, 20}),
};

constexpr DialogTemplate kGeneralPage{general::kTemplate, "General", kPageWidth, kPageHeight, kGeneral};
constexpr DialogTemplate kDirectoriesPage{directories::kTemplate, "Directories", kPageWidth, kPageHeight, kDirectories};
constexpr DialogTemplate kNetworkPage{network::kTemplate, "Network", kPageWidth, kPageHeight, kNetwork};
constexpr DialogTemplate kSharingPage{sharing::kTemplate, "Sharing", kPageWidth, kPageHeight, kSharing};
constexpr DialogTemplate kLoggingPage{logging::kTemplate, "Logging", kPageWidth, kPageHeight, kLogging};
constexpr DialogTemplate kUploadPage{upload::kTemplate, "Upload", kPageWidth, kPageHeight, kUpload};

}  // namespace

const DialogTemplate& GeneralPageLayout() {
    return kGeneralPage;
}
const DialogTemplate& DirectoriesPageLayout() {
    return kDirectoriesPage;
}
const DialogTemplate& NetworkPageLayout() {
    return kNetworkPage;
}
const DialogTemplate& SharingPageLayout() {
    return kSharingPage;
}
const DialogTemplate& LoggingPageLayout() {
    return kLoggingPage;
}
const DialogTemplate& UploadPageLayout() {
    return kUploadPage;
}
