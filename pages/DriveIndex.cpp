#include "pages/DriveIndex.h"

#include <string>

#include "pages/PageText.h"
#include "pages/PageWriter.h"
#include "platform/DriveTable.h"
#include "platform/HostInfo.h"

namespace {

constexpr std::uint64_t kLargestKilobyteValue = 10240;

const char* KindText(platform::DriveKind kind) {
    switch (kind) {
        case platform::DriveKind::Removable:
            return "Floppy";
        case platform::DriveKind::HardDisk:
            return "Hard Disk";
        case platform::DriveKind::Network:
            return "Network";
        case platform::DriveKind::CdRom:
            return "CD-ROM";
        case platform::DriveKind::Unknown:
            break;
    }
    return "<i>unknown</i>";
}

unsigned long long Printable(std::uint64_t value) {
    return static_cast<unsigned long long>(value);
}

void WriteDriveRow(PageWriter& page, const IndexedDrive& drive, std::int32_t useTable) {
    const char letter =
        drive.letter >= 'a' && drive.letter <= 'z' ? static_cast<char>(drive.letter - 'a' + 'A') : drive.letter;
    const std::string root = std::string(1, letter) + ":\\";
    WriteStyled(page, "<tr>\r\n", "", useTable);
    WriteStyled(page, FormatPiece("<td><a href=%c/><b>%s</b></a></td>\r\n", letter, root.c_str()),
                FormatPiece("<a href=%c/><b>%s</b></a>", letter, root.c_str()), useTable);
    const char* kind = KindText(drive.kind);
    WriteStyled(page, FormatPiece("<td align=center>%s</td>\r\n", kind), FormatPiece(" %19s", kind), useTable);
    if (drive.kind == platform::DriveKind::HardDisk && drive.space) {
        const DriveSpaceText capacity = DriveSpaceInUnits(drive.space->totalBytes);
        const DriveSpaceText free = DriveSpaceInUnits(drive.space->freeBytes);
        WriteStyled(page, FormatPiece("<td align=center>%llu %cB</td>\r\n", Printable(capacity.value), capacity.unit),
                    FormatPiece("%12llu %cB", Printable(capacity.value), capacity.unit), useTable);
        WriteStyled(page, FormatPiece("<td align=center>%llu %cB</td>\r\n", Printable(free.value), free.unit),
                    FormatPiece("    %llu %cB", Printable(free.value), free.unit), useTable);
    }
    WriteStyled(page, "</tr>\r\n", "\r\n", useTable);
}

}  // namespace

DriveSpaceText DriveSpaceInUnits(std::uint64_t bytes) {
    const std::uint64_t kilobytes = bytes >> 10;
    if (kilobytes > kLargestKilobyteValue) return {kilobytes >> 10, 'M'};
    return {kilobytes, 'K'};
}

int WriteDriveIndex(platform::FileHandle& file, std::int32_t useTable) {
    std::vector<IndexedDrive> drives;
    for (const platform::Drive& drive : platform::TheDriveTable().Drives()) {
        IndexedDrive indexed{drive.letter, platform::GetDriveKind(drive), std::nullopt};
        // Only hard disks are asked for their size: a CD or a share may take long to answer.
        if (indexed.kind == platform::DriveKind::HardDisk) indexed.space = platform::GetDriveSpace(drive);
        drives.push_back(indexed);
    }
    WriteDriveIndexPage(file, useTable, platform::HostName(), drives);
    return 0;
}

void WriteDriveIndexPage(platform::FileHandle& file, std::int32_t useTable, std::string_view hostName,
                         const std::vector<IndexedDrive>& drives) {
    PageWriter page(file);
    const std::string host = PageHtml(hostName);
    page.Write("<html><head><title>Pellora Index for " + host + "</title></head><body>\r\n");
    page.Write("<h2>Pellora index for " + host + ":</h2>\r\n");
    WriteStyled(page, "<table><tr>\r\n", "", useTable);
    WriteStyled(page, "<td width = 25%></td>\r\n", "", useTable);
    WriteStyled(page, "<td align=center width = 25%><b>Drive Type</b></td>\r\n", "", useTable);
    WriteStyled(page, "<td align=center width = 25%><b>Capacity</b></td>\r\n", "", useTable);
    WriteStyled(page, "<td align=center width = 25%><b>Free Space</b></td>\r\n", "", useTable);
    WriteStyled(page, "</tr>\r\n",
                FormatPiece("<PRE>%3s %19s %14s    %s\r\n", " ", "Drive Type", "Capacity", "Free Space"), useTable);
    for (const IndexedDrive& drive : drives) WriteDriveRow(page, drive, useTable);
    WriteStyled(page, "</table>\r\n</body></html>", "<br><br></PRE></body></html>", useTable);
}
