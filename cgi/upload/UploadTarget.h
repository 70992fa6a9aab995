#pragma once
// Where an upload goes: the destination field and the name the browser sent give a
// directory and a file name, and the saved upload settings say whether a file may be
// stored there. Pure rules over values; the file system is asked through `PathProbe`.
#include <functional>
#include <string>
#include <string_view>

#include "config/ServerSettings.h"
#include "platform/FileHandle.h"

// What exists at a drive-form path.
using PathProbe = std::function<platform::PathKind(std::string_view drivePath)>;

struct UploadTarget {
    std::string directory;  // drive form, normalized, no trailing '\' ("c:" for a root)
    std::string name;       // one component
};

struct TargetChoice {
    bool accepted = false;
    UploadTarget target;
    std::string refusal;  // plain text, for the answer page
};

// The last component of what the browser sent: some send the whole path of the
// file on their own machine, with '/' or '\'.
std::string BaseNameOf(std::string_view browserFileName);

// A name the file may have: not empty, not "." or "..", no control byte.
bool IsUsableFileName(std::string_view name);

// The destination field ("C:\docs\" or "C:\docs\name.txt"; '/' counts as '\') and the
// browser's file name. A destination that ends in '\' or names an existing directory
// gets the file's own base name; ".." never climbs above its drive. The directory
// must exist.
TargetChoice ChooseUploadTarget(std::string_view destination, std::string_view browserFileName, const PathProbe& probe);

// 0 when the saved settings let a file be stored as `name` in `directory`, -1 with
// the reason otherwise. UploadAccessType 0: only in UploadDir and below it, as the
// directories lie on disk. Otherwise: where the sharing list lets the server publish.
int CheckUploadAllowed(const ServerSettings& settings, const UploadTarget& target, std::string& refusal);

// "a.txt" with number 2 is "a (2).txt"; number 1 is the name itself.
std::string NumberedName(std::string_view name, int number);

// The drive-form path of a target: "c:\docs\a.txt", "c:\a.txt" at a root.
std::string TargetPath(const UploadTarget& target);
