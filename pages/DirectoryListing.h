#pragma once
// The generated page of one directory, or of the entries that match a pattern, in the
// table style or the PRE style.
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/FixedString.h"
#include "platform/Clock.h"
#include "platform/DirectoryEnumeration.h"
#include "platform/FileHandle.h"

using ListingEntry = platform::DirectoryEntry;

// Negative when `a` goes first: "..", then directories, then files, each group by name
// ignoring ASCII case. 0 only for names equal ignoring case.
int CompareListingEntries(const ListingEntry& a, const ListingEntry& b);

// 'Mar 04, 1995', 'Mar 04', '09:05' or 'Tue, 17:30' (local time); wider only for
// years past 9999.
using ModifiedDateText = FixedString<24>;
// 0, or -1 with `out` untouched when either time cannot be broken down.
int FormatModifiedDate(std::int64_t modifiedTime, std::int64_t now, ModifiedDateText& out);
int FormatModifiedDate(const ListingEntry& entry, ModifiedDateText& out);
// The same against `today`, broken down once for a whole listing.
int FormatModifiedDateFrom(std::int64_t modifiedTime, const std::optional<platform::CivilTime>& today,
                           ModifiedDateText& out);

struct SizeText {
    std::uint64_t value = 0;
    std::string_view unit;  // "bytes", "Kb" or "Mb"
};
SizeText ListingSize(std::uint64_t bytes);

// Appends the page for `path` ('C:\docs\*', 'c:\docs\*.txt') to the open `file`.
// 0 when the page was written whole; -1 when the entries could not be enumerated,
// in which case the page ends after its home row.
int WriteDirectoryListing(platform::FileHandle& file, std::string_view path, std::int32_t useTable);
// The same with the dates told against `now` rather than the clock.
int WriteDirectoryListingAt(platform::FileHandle& file, std::string_view path, std::int32_t useTable, std::int64_t now);
