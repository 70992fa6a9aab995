#include "cgi/upload/UploadPage.h"

#include "core/ErrorPage.h"

int ServeUploadPage(Connection& connection, std::string_view) {
    SetUnavailableFeaturePage(connection, "The upload page");
    return -1;
}
