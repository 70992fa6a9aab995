#pragma once
// The built-in upload form, posted as multipart/form-data to the upload program.
#include <string_view>

#include "core/Connection.h"

// `name` is the URL behind "/@" (it begins "upload.htm"). The answer is the whole
// form, or an error page.
void ServeUploadPage(Connection& connection, std::string_view name);

// The complete 200 response with the form, the destination field pre-filled; false
// when it does not fit whole.
bool WriteUploadForm(std::string_view destination, ResponseText& responseText);
