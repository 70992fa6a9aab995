#include "ui/OptionsSheet.h"

#include <utility>

#include "ui/DirectoriesPage.h"
#include "ui/GeneralPage.h"
#include "ui/LoggingPage.h"
#include "ui/NetworkPage.h"
#include "ui/OptionsPageLayouts.h"
#include "ui/SharingPage.h"
#include "ui/UploadPage.h"

namespace {

template <typename Page>
platform::PropertySheet::PageFactory MakePage(OptionsContext& context, int index) {
    return [&context, index](platform::Dialog& dialog) { return std::make_unique<Page>(dialog, context, index); };
}

}  // namespace

OptionsSheet::OptionsSheet(ServerControl& control, platform::Window& window, std::string programDirectory)
    : context_{control, window, sheet_, std::move(programDirectory)} {}

void OptionsSheet::Open() {
    if (sheet_.IsOpen()) {
        sheet_.BringForward();
        return;
    }
    sheet_.Reset();
    sheet_.AddPage(GeneralPageLayout(), "General", MakePage<GeneralPage>(context_, 0));
    sheet_.AddPage(DirectoriesPageLayout(), "Directories", MakePage<DirectoriesPage>(context_, 1));
    sheet_.AddPage(NetworkPageLayout(), "Network", MakePage<NetworkPage>(context_, 2));
    sheet_.AddPage(SharingPageLayout(), "Sharing", MakePage<SharingPage>(context_, 3));
    sheet_.AddPage(LoggingPageLayout(), "Logging", MakePage<LoggingPage>(context_, 4));
    sheet_.AddPage(UploadPageLayout(), "Upload", MakePage<UploadPage>(context_, 5));
    sheet_.Show("Options", context_.lastPage);
}
