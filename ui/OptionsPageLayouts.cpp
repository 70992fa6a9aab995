#include "ui/OptionsPageLayouts.h"

#include <array>

using platform::ControlKind;
using platform::ControlTemplate;
using platform::DialogTemplate;

namespace {

constexpr int kPageWidth = 500;
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
    Label(general::kPortLabel, "Port number:", {13, 12, 132, 20}),
    Box(general::kPortBox, {147, 10, 118, 24}, true),
    Group(general::kRootGroup, "How do you want the root of your Web site generated....", {8, 44, 484, 132}),
    Radio(general::kDriveIndex, "Display an index of drives", {24, 64, 461, 20}, 1),
    Radio(general::kRootFileChoice, "Use a particular file - i.e. d:\\path\\index.htm", {24, 86, 461, 20}, 1),
    Label(general::kFileLabel, "File name:", {50, 114, 92, 20}),
    ControlTemplate{general::kRootFileBox, ControlKind::ComboBox, "", {145, 110, 232, 26}},
    Button(general::kBrowse, "Browse...", {384, 110, 100, 26}),
    Radio(general::kRootErrorChoice, "Display an error message", {24, 146, 461, 20}, 1),
    Group(general::kDirectoryGroup, "Where do you want the root directory defined...", {8, 184, 484, 128}),
    Label(general::kRootDirLabel, "Document root directory:", {24, 204, 461, 18}),
    Box(general::kRootDirBox, {24, 224, 461, 24}),
    Label(general::kCgiDirLabel, "CGI-bin directory relative to document root:", {24, 252, 461, 18}),
    Box(general::kCgiDirBox, {24, 272, 461, 24}),
};

constexpr std::array kDirectories{
    Group(directories::kGenerateGroup, "How do you want the directories of your Web site generated...",
          {8, 6, 484, 200}),
    Radio(directories::kListing, "Display an index of files and subdirectories", {24, 26, 461, 20}, 1),
    Group(directories::kFileGroup, "Use a particular file...  i.e. index.htm", {24, 52, 455, 146}),
    Label(directories::kFileLabel, "File name:", {39, 76, 92, 20}),
    Box(directories::kFileBox, {137, 72, 329, 24}),
    Radio(directories::kIndexElseListing, "Generate an index if this file is not found", {39, 104, 434, 20}, 1),
    Radio(directories::kIndexElseError, "Generate an error if this file is not found", {39, 128, 434, 20}, 1),
    Radio(directories::kError, "Display an error message", {39, 160, 434, 20}, 1),
    Group(directories::kStyleGroup, "In which style do you want the index to be displayed...", {8, 214, 484, 84}),
    Radio(directories::kTableStyle, "Use HTML <TABLE> format  (for better view and resize)", {24, 238, 461, 20}, 2),
    Radio(directories::kPreStyle, "Use HTML <PRE> format (for better performance)", {24, 264, 461, 20}, 2),
};

constexpr std::array kNetwork{
    Group(network::kModeGroup, "IP access properties...", {8, 6, 484, 96}),
    Radio(network::kAll, "All - allow access to all users", {24, 26, 461, 20}, 1),
    Radio(network::kSelective, "Selective - only allow access to the IP addresses in the list below", {24, 50, 461, 20},
          1),
    Radio(network::kRestrictive, "Restrictive - allow access to all IP addresses, except those in the list",
          {24, 74, 461, 20}, 1),
    Label(network::kListLabel, "IP address list:", {11, 110, 263, 18}),
    Box(network::kEntryBox, {11, 130, 329, 24}),
    Button(network::kAdd, "&Add", {353, 130, 118, 26}),
    SortedList(network::kList, {11, 162, 329, 92}),
    Button(network::kRemove, "&Remove", {353, 162, 118, 26}),
    Label(network::kHint,
          "If you enter a partial IP address, it will be applied to that  whole IP domain. For example, if you only "
          "enter 255.255, all IP addresses that start with 255.255, regardless of the rest of the IP, will be "
          "affected.",
          {11, 258, 482, 58}),
};

constexpr std::array kSharing{
    Group(sharing::kModeGroup, "Directory sharing properties...", {8, 6, 484, 96}),
    Radio(sharing::kAll, "All - allow access to all directories", {24, 26, 461, 20}, 1),
    Radio(sharing::kSelective, "Selective - only allow access to the directories in the list below", {24, 50, 461, 20},
          1),
    Radio(sharing::kRestrictive, "Restrictive - allow access to all directories, except those in the list",
          {24, 74, 461, 20}, 1),
    Label(sharing::kListLabel, "Directory path list:", {11, 110, 263, 18}),
    Box(sharing::kEntryBox, {11, 130, 355, 24}),
    Button(sharing::kAdd, "&Add", {379, 130, 105, 26}),
    SortedList(sharing::kList, {11, 162, 355, 140}),
    Button(sharing::kRemove, "&Remove", {379, 162, 105, 26}),
};

constexpr std::array kLogging{
    Group(logging::kGroup, "Logging setting...", {8, 6, 484, 118}),
    Check(logging::kEnable, "Enable logging", {24, 28, 395, 20}),
    Label(logging::kFileLabel, "Log file name:", {24, 58, 395, 18}),
    Box(logging::kFileBox, {24, 80, 347, 24}),
    Button(logging::kBrowse, "Browse...", {379, 79, 100, 26}),
};

constexpr std::array kUpload{
    Check(upload::kEnable, "Enable built-in upload capability", {11, 8, 479, 20}),
    Group(upload::kGroup, "Built-in upload options...", {8, 36, 484, 156}),
    Radio(upload::kOneDirectory, "Allow upload only to the folllowing directory", {24, 58, 461, 20}, 1),
    Label(upload::kDirectoryLabel, "Directory name:", {50, 86, 145, 20}),
    Box(upload::kDirectoryBox, {197, 82, 282, 24}),
    Radio(upload::kAllShared, "Allow upload to all shared directories", {24, 116, 461, 20}, 1),
    Check(upload::kIncludeLink, "Add link to built-in upload page during directory browsing", {24, 150, 461, 20}),
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
