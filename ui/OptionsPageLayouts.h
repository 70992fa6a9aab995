#pragma once
// The six pages of the Options sheet: their dialog templates and control ids.
#include "platform/Dialog.h"

namespace general {
inline constexpr int kTemplate = 104;
inline constexpr int kPortLabel = 1019, kPortBox = 1020, kRootGroup = 1021;
inline constexpr int kDriveIndex = 2022, kRootFileChoice = 2023, kRootErrorChoice = 2024;
inline constexpr int kFileLabel = 1025, kRootFileBox = 1059, kBrowse = 1041;
inline constexpr int kDirectoryGroup = 1058, kRootDirLabel = 1054, kRootDirBox = 1053;
inline constexpr int kCgiDirLabel = 1056, kCgiDirBox = 1055;
}  // namespace general

namespace directories {
inline constexpr int kTemplate = 116;
inline constexpr int kGenerateGroup = 1064, kListing = 2013, kFileGroup = 1065, kFileLabel = 1039;
inline constexpr int kFileBox = 1017, kIndexElseListing = 2014, kIndexElseError = 2015, kError = 2016;
inline constexpr int kStyleGroup = 1066, kTableStyle = 1061, kPreStyle = 1062;
}  // namespace directories

namespace network {
inline constexpr int kTemplate = 105;
inline constexpr int kModeGroup = 1035, kAll = 2010, kSelective = 2011, kRestrictive = 2012;
inline constexpr int kListLabel = 1036, kEntryBox = 1005, kAdd = 1037, kList = 1018, kRemove = 1038;
inline constexpr int kHint = 1046;
}  // namespace network

namespace sharing {
inline constexpr int kTemplate = 106;
inline constexpr int kModeGroup = 1026, kAll = 1027, kSelective = 1028, kRestrictive = 1029;
inline constexpr int kListLabel = 1030, kEntryBox = 1031, kAdd = 1033, kList = 1032, kRemove = 1034;
}  // namespace sharing

namespace logging {
inline constexpr int kTemplate = 115;
inline constexpr int kGroup = 1052, kEnable = 1047, kFileLabel = 1049, kFileBox = 1048, kBrowse = 1050;
}  // namespace logging

namespace upload {
inline constexpr int kTemplate = 117;
inline constexpr int kEnable = 1063, kGroup = 1073, kOneDirectory = 1069, kDirectoryLabel = 1072;
inline constexpr int kDirectoryBox = 1071, kAllShared = 1070, kIncludeLink = 1074;
}  // namespace upload

const platform::DialogTemplate& GeneralPageLayout();
const platform::DialogTemplate& DirectoriesPageLayout();
const platform::DialogTemplate& NetworkPageLayout();
const platform::DialogTemplate& SharingPageLayout();
const platform::DialogTemplate& LoggingPageLayout();
const platform::DialogTemplate& UploadPageLayout();
