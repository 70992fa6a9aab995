// A per-user store the text reader took in is written and read back to the same tree, and
// settings loaded from it on disk are saved and loaded back unchanged.
#include "config/OptionsFile.h"
#include "config/RegistryStore.h"
#include "platform/UserStoreText.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    static const TestDirectory& home = Home([](const TestDirectory& home) {
        FUZZ_CHECK(setenv("XDG_CONFIG_HOME", home.MakeDirectory("config").c_str(), 1) == 0);
    });
    const std::string_view text = AsView(data, size);
    const std::optional<platform::StoreKeyNode> tree = platform::ParseStore(text);
    if (!tree) return 0;
    const std::string formatted = platform::FormatStore(*tree);
    const std::optional<platform::StoreKeyNode> again = platform::ParseStore(formatted);
    FUZZ_CHECK(again && platform::FormatStore(*again) == formatted);

    home.WriteFile("config/pellora/settings.store", text);
    ServerSettings loaded;
    LoadSettingsFromRegistry(loaded);
    SaveSettingsToRegistry(loaded);
    ServerSettings reloaded;
    FUZZ_CHECK(LoadSettingsFromRegistry(reloaded) == 0 && FormatOptionsFile(reloaded) == FormatOptionsFile(loaded));
    return 0;
}
