#pragma once
// What the upload and served tests share: saved settings, multipart bodies, file trees.
#include <string>
#include <vector>

#include "config/ServerSettings.h"
#include "tests/support/Processes.h"

// Saves `settings` through the store layer below `configHome` (an XDG_CONFIG_HOME).
void SaveSettingsIn(const std::string& configHome, const ServerSettings& settings);

struct FormPart {
    std::string headers;  // each line ended by CR LF
    std::string data;
};
FormPart TextField(const std::string& name, const std::string& value);
FormPart FileField(const std::string& fileName, const std::string& data, const std::string& name = "upl-file");
// A body as browsers send it, closing boundary included.
std::string MultipartBody(const std::vector<FormPart>& parts, const std::string& boundary = "----PelloraTestBoundary");

// Every file below `directory`, relative to it (directories end in '/'), sorted.
std::vector<std::string> TreeOf(const std::string& directory);
