#include "pages/DirectoryListing.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <string>
#include <vector>

#include "config/ServerSettings.h"
#include "pages/PagePaths.h"
#include "pages/PageText.h"
#include "pages/PageWriter.h"
#include "platform/Clock.h"
#include "request/ContentTypes.h"

namespace {

constexpr std::size_t kPreNameWidth = 24;

unsigned char FoldedByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

int CompareIgnoringCase(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char x = FoldedByte(a[i]);
        const unsigned char y = FoldedByte(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

// `value` right-aligned in `width` columns, as "%*llu" would write it.
void AppendNumber(std::string& out, std::uint64_t value, std::size_t width = 0) {
    std::array<char, 24> digits{};
    const char* end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
    const auto length = static_cast<std::size_t>(end - digits.data());
    if (length < width) out.append(width - length, ' ');
    out.append(digits.data(), length);
}

// `text` left-aligned in `width` columns, as "%-*s" would write it.
void AppendLeftAligned(std::string& out, std::string_view text, std::size_t width) {
    out += text;
    if (text.size() < width) out.append(width - text.size(), ' ');
}

std::string TwoDigits(int value) {
    std::string text(value < 10 ? "0" : "");
    text += std::to_string(value);
    return text;
}

std::string_view DayName(int weekday) {
    static constexpr std::array<std::string_view, 7> kNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    return weekday >= 0 && weekday < 7 ? kNames[static_cast<std::size_t>(weekday)] : kNames[0];
}

std::string_view MonthName(int month) {
    static constexpr std::array<std::string_view, 12> kNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    return month >= 1 && month <= 12 ? kNames[static_cast<std::size_t>(month - 1)] : kNames[0];
}

std::string_view IconFor(std::string_view contentType) {
    if (contentType == kDefaultContentType) return "file.gif";
    if (contentType == "text/html") return "file_htm.gif";
    if (contentType.starts_with("text")) return "file_txt.gif";
    if (contentType.starts_with("image")) return "file_img.gif";
    if (contentType.starts_with("audio")) return "file_aud.gif";
    if (contentType.starts_with("video")) return "file_vid.gif";
    if (contentType.starts_with("application")) return "file_app.gif";
    return "file.gif";
}

// The PRE style shows at most 24 characters of a name; a cut name ends in '+'.
std::string PreDisplayName(const ListingEntry& entry) {
    const std::size_t length = CountCharacters(entry.name) + (entry.isDirectory ? 1 : 0);
    if (length <= kPreNameWidth) return entry.isDirectory ? entry.name + "/" : entry.name;
    if (entry.isDirectory) return std::string(FirstCharacters(entry.name, kPreNameWidth - 2)) + "+/";
    return std::string(FirstCharacters(entry.name, kPreNameWidth - 1)) + "+";
}

// The title is the path without a plain "\*" at its end.
void WriteHead(PageWriter& page, std::string_view path) {
    const std::size_t slash = path.rfind('\\');
    if (slash != std::string_view::npos && path.substr(slash + 1) == "*") path = path.substr(0, slash);
    const std::string escaped = PageHtml(path);
    page.Write("<html><head><title>Pellora Index for ");
    page.Write(escaped);
    page.Write("</title></head><body>\r\n");
    page.Write("<h2>Pellora Index for ");
    page.Write(escaped);
    page.Write("</h2>\r\n\r\n");
}

void WriteColumnHeader(PageWriter& page, std::int32_t useTable) {
    static constexpr std::array<std::string_view, 7> kTablePieces{
        "<table width=100%><tr>\r\n",
        "<td width=1%></td>\r\n",
        "<td width=30%></td>\r\n",
        "<td width=19% align=center colspan=2><b>Size</b></td>\r\n",
        "<td width=19% align=left><b>Modified</b></td>\r\n",
        "<td width=30%><b>File Type</b></td>\r\n",
        "</tr>\r\n",
    };
    for (const std::string_view piece : kTablePieces) WriteStyled(page, piece, "", useTable);
    WriteStyled(page, "",
                FormatPiece("<PRE>%1s %24s %10s   %-14s %-25s\r\n", "", "", "   Size    ", "Modified", "File Type"),
                useTable);
}

void WriteUploadRow(PageWriter& page, std::string_view path, std::int32_t useTable) {
    const ServerSettings& settings = Settings();
    if (settings.UploadOn == 0 || settings.IncludeUploadLink == 0) return;
    const std::string directory = settings.UploadAccessType == 1 ? PageHtml(DirectoryUrl(path)) : std::string();
    WriteStyled(page, "<tr>\r\n", "", useTable);
    WriteStyled(page, "<td><a href = \"/\"><IMG BORDER=0 SRC=\"/@upload.gif\"></a></td>\r\n",
                "<a href = \"/\"><IMG ALIGN=absbottom BORDER=0 SRC=\"/@upload.gif\"></a>", useTable);
    WriteStyled(page, "<td><a href = \"/@upload.htm", " <a href = \"/@upload.htm", useTable);
    page.Write(directory);
    WriteStyled(page, "\">&lt;upload&gt;</a></td>\r\n",
                FormatPiece("\">&lt;upload&gt;</a>%27s   %14s %-25s\r\n", "", "", "Upload Form"), useTable);
    for (int i = 0; i < 3; ++i) WriteStyled(page, "<td></td>\r\n", "", useTable);
    WriteStyled(page, "<td>Upload Form</td>\r\n", "", useTable);
    WriteStyled(page, "</tr>\r\n", "", useTable);
}

void WriteHomeRow(PageWriter& page, std::int32_t useTable) {
    WriteStyled(page, "<tr>\r\n", "", useTable);
    WriteStyled(page, "<td><a href = \"/\"><IMG BORDER=0 SRC=\"/@home.gif\"></a></td>\r\n", "", useTable);
    WriteStyled(page, "<td><a href=\"/\">/</a></td>\r\n", "", useTable);
    for (int i = 0; i < 3; ++i) WriteStyled(page, "<td></td>\r\n", "", useTable);
    WriteStyled(page, "<td>Home</td>\r\n", "", useTable);
    WriteStyled(page, "</tr>\r\n", "", useTable);
    WriteStyled(page, "",
                FormatPiece("<a href = \"/\"><IMG ALIGN=absbottom BORDER=0 SRC=\"/@home.gif\"></a> "
                            "<a href=\"/\">/</a>%34s   %14s %-25s\r\n",
                            "", "", "Home"),
                useTable);
}

// What the rows of one listing share and reuse: the texts a row is built in, kept
// across rows so that they stop allocating, and the last file type and date told,
// since a directory's entries mostly share a few extensions and times.
struct RowContext {
    std::string linkBase;  // HTML-escaped
    std::int32_t useTable = 0;
    std::optional<platform::CivilTime> today;
    std::string row;
    std::string link;
    std::string extension;  // of the last file whose type was looked up
    bool typeKnown = false;
    std::string_view icon;
    bool hasDescription = false;
    std::string descriptionCell;  // the type column of that extension, in the page's style
    std::int64_t dateFor = 0;
    bool dateKnown = false;
    int dateResult = -1;
    ModifiedDateText date;
};

std::string_view ExtensionOf(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

// The icon and type column of a file, looked up once per extension in a row.
void LearnFileType(RowContext& context, std::string_view name) {
    const std::string_view extension = ExtensionOf(name);
    // Lookups fold case, so the cache is only trusted for the very same bytes.
    if (context.typeKnown && !extension.empty() && extension == context.extension) return;
    FileTypeText contentType;
    LookupContentType(name, contentType);
    context.icon = IconFor(contentType);
    FileTypeText description;
    context.hasDescription = LookupFileTypeDescription(name, description) == 0;
    context.descriptionCell.clear();
    if (context.hasDescription) {
        if (context.useTable != 0) {
            context.descriptionCell = "<td>";
            AppendPageHtml(context.descriptionCell, description);
            context.descriptionCell += "</td>\r\n";
        } else {
            context.descriptionCell = ' ';
            context.descriptionCell += PaddedHtml(description, 25);
        }
    } else if (context.useTable != 0) {
        context.descriptionCell = "<td></td>\r\n";
    }
    context.extension = extension;
    context.typeKnown = !extension.empty();
}

int DateOf(RowContext& context, std::int64_t modifiedTime) {
    if (!context.dateKnown || modifiedTime != context.dateFor) {
        context.dateResult = FormatModifiedDateFrom(modifiedTime, context.today, context.date);
        context.dateFor = modifiedTime;
        context.dateKnown = true;
    }
    return context.dateResult;
}

void WriteTableRow(RowContext& context, const ListingEntry& entry) {
    std::string& row = context.row;
    const std::string& link = context.link;
    row += "<tr>\r\n<td><a href = \"";
    row += link;
    if (entry.isDirectory) {
        row += "\"><IMG BORDER=0 SRC=\"/@dir.gif\"></a></td>\r\n";
    } else {
        row += "\"><img border = 0 src=\"/@";
        row += context.icon;
        row += "\"></a></td>\r\n";
    }
    row += "<td><a href=\"";
    row += link;
    row += "\">";
    AppendPageHtml(row, entry.name);
    if (entry.isDirectory) row += '/';
    row += "</a></td>\r\n";
    if (entry.isDirectory) {
        row += "<td></td><td></td>\r\n";
    } else {
        const SizeText size = ListingSize(entry.size);
        row += "<td align=right>";
        AppendNumber(row, size.value);
        row += "</td><td align=left>";
        row += size.unit;
        row += "</td>\r\n";
    }
    if (DateOf(context, entry.modifiedTime) == 0) {
        row += "<td align=left>";
        row += context.date.View();
        row += "</td>\r\n";
    } else {
        row += "<td align=center></td>\r\n";
    }
    row += entry.isDirectory ? std::string_view("<td>Directory</td>\r\n") : std::string_view(context.descriptionCell);
    row += "</tr>\r\n";
}

void WritePreRow(RowContext& context, const ListingEntry& entry) {
    std::string& row = context.row;
    const std::string& link = context.link;
    row += "<a href = \"";
    row += link;
    if (entry.isDirectory) {
        row += "\"><IMG ALIGN=absbottom BORDER=0 SRC=\"/@dir.gif\"></a>";
    } else {
        row += "\"><img ALIGN=absbottom border = 0 src=\"/@";
        row += context.icon;
        row += "\"></a>";
    }
    // The PRE name field is 28 wide with the "</a>" in it: 24 visible columns.
    const std::string preName = PreDisplayName(entry);
    row += " <a href=\"";
    row += link;
    row += "\">";
    AppendPageHtml(row, preName);
    row += "</a>";
    row.append(kPreNameWidth - CountCharacters(preName), ' ');
    if (entry.isDirectory) {
        row.append(11, ' ');
    } else {
        const SizeText size = ListingSize(entry.size);
        row += ' ';
        AppendNumber(row, size.value, 4);
        row += ' ';
        AppendLeftAligned(row, size.unit, 5);
    }
    if (DateOf(context, entry.modifiedTime) == 0) {
        row += "   ";
        AppendLeftAligned(row, context.date.View(), 14);
    } else {
        row.append(17, ' ');
    }
    row += entry.isDirectory ? std::string_view(" Directory") : std::string_view(context.descriptionCell);
    row += "\r\n";
}

void WriteEntryRow(PageWriter& page, const ListingEntry& entry, RowContext& context) {
    const bool useShortName = !entry.shortName.empty() && CompareIgnoringCase(entry.shortName, entry.name) != 0;
    context.link = context.linkBase;
    AppendPageHtml(context.link, useShortName ? entry.shortName : entry.name);
    if (entry.isDirectory) context.link += '/';
    if (!entry.isDirectory) LearnFileType(context, entry.name);
    context.row.clear();
    if (context.useTable != 0) {
        WriteTableRow(context, entry);
    } else {
        WritePreRow(context, entry);
    }
    page.Write(context.row);
}

// All entries but ".": hidden names and ".." are listed like any other.
bool EnumerateEntries(std::string_view path, std::vector<ListingEntry>& entries) {
    platform::DirectoryEnumeration enumeration;
    ListingEntry entry;
    if (!enumeration.Start(path, entry)) return false;
    do {
        if (entry.name != ".") entries.push_back(std::move(entry));
    } while (enumeration.Next(entry));
    return true;
}

}  // namespace

int CompareListingEntries(const ListingEntry& a, const ListingEntry& b) {
    const bool aIsParent = a.name == "..";
    const bool bIsParent = b.name == "..";
    if (aIsParent != bIsParent) return aIsParent ? -1 : 1;
    if (a.isDirectory != b.isDirectory) return a.isDirectory ? -1 : 1;
    return CompareIgnoringCase(a.name, b.name);
}

int FormatModifiedDate(std::int64_t modifiedTime, std::int64_t now, ModifiedDateText& out) {
    return FormatModifiedDateFrom(modifiedTime, platform::TryLocalCivilTime(now), out);
}

int FormatModifiedDateFrom(std::int64_t modifiedTime, const std::optional<platform::CivilTime>& today,
                           ModifiedDateText& out) {
    const std::optional<platform::CivilTime> entry = platform::TryLocalCivilTime(modifiedTime);
    if (!entry || !today) return -1;
    const std::string day = TwoDigits(entry->day);
    const std::string month(MonthName(entry->month));
    if (entry->year != today->year) {
        out.Assign(FormatPiece("%3s %2s, %4d", month.c_str(), day.c_str(), entry->year));
    } else if (entry->month != today->month || today->day - entry->day > 3) {
        out.Assign(FormatPiece("%3s %2s", month.c_str(), day.c_str()));
    } else if (entry->day == today->day) {
        out.Assign(FormatPiece("%2s:%2s", TwoDigits(entry->hour).c_str(), TwoDigits(entry->minute).c_str()));
    } else {
        const std::string weekday(DayName(entry->weekday));
        out.Assign(FormatPiece("%3s, %2s:%2s", weekday.c_str(), TwoDigits(entry->hour).c_str(),
                               TwoDigits(entry->minute).c_str()));
    }
    return 0;
}

int FormatModifiedDate(const ListingEntry& entry, ModifiedDateText& out) {
    return FormatModifiedDate(entry.modifiedTime, platform::CurrentUnixTime(), out);
}

SizeText ListingSize(std::uint64_t bytes) {
    if (bytes > 1048576) return {bytes >> 20, "Mb"};
    if (bytes > 1024) return {bytes >> 10, "Kb"};
    return {bytes, "bytes"};
}

int WriteDirectoryListing(platform::FileHandle& file, std::string_view path, std::int32_t useTable) {
    return WriteDirectoryListingAt(file, path, useTable, platform::CurrentUnixTime());
}

int WriteDirectoryListingAt(platform::FileHandle& file, std::string_view path, std::int32_t useTable,
                            std::int64_t now) {
    if (path.size() > PathText::kMaxLength) return -1;
    // The router hands the directory over by its long names; links are encoded anew
    // from them, so a short name in the path is never encoded twice.
    const std::string_view expanded = path;
    PageWriter page(file);
    WriteHead(page, expanded);
    WriteColumnHeader(page, useTable);
    WriteUploadRow(page, expanded, useTable);
    WriteHomeRow(page, useTable);

    const std::string linkBase = DirectoryUrl(expanded);
    std::vector<ListingEntry> entries;
    if (!EnumerateEntries(path, entries)) return -1;
    // Sorted by reference: moving the entries themselves costs more than comparing.
    std::vector<const ListingEntry*> order;
    order.reserve(entries.size());
    for (const ListingEntry& entry : entries) order.push_back(&entry);
    // Names equal but for case keep one order from run to run.
    std::sort(order.begin(), order.end(), [](const ListingEntry* a, const ListingEntry* b) {
        const int comparison = CompareListingEntries(*a, *b);
        return comparison != 0 ? comparison < 0 : a->name < b->name;
    });
    RowContext context;
    context.linkBase = PageHtml(linkBase);
    context.useTable = useTable;
    context.today = platform::TryLocalCivilTime(now);
    for (const ListingEntry* entry : order) WriteEntryRow(page, *entry, context);
    WriteStyled(page, "</table>\r\n</body></html>", "</PRE><br></body></html>", useTable);
    return 0;
}
