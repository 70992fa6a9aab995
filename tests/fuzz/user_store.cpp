// The per-user store: its text reader, and the settings read from a real store file
// in a directory of its own. A store that was taken in is written out and read back to
// the same tree; settings read from it are saved and loaded back unchanged.
#include <cstdlib>

#include "config/OptionsFile.h"
#include "config/RegistryStore.h"
#include "platform/UserStoreText.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/TestDirectory.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    static TestDirectory home;
    static const bool once = [] {
        home.MakeDirectory("config/pellora");
        return setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1) == 0;
    }();
    FUZZ_CHECK(once);
    const std::string_view text = AsView(data, size);
    const std::optional<platform::StoreKeyNode> tree = platform::ParseStore(text);
    if (!tree) return 0;
    const std::string formatted = platform::FormatStore(*tree);
    const std::optional<platform::StoreKeyNode> again = platform::ParseStore(formatted);
    FUZZ_CHECK(again && platform::FormatStore(*again) == formatted);

    // The same text as the store on disk.
    home.WriteFile("config/pellora/settings.store", text);
    ServerSettings loaded;
    LoadSettingsFromRegistry(loaded);
    SaveSettingsToRegistry(loaded);
    ServerSettings reloaded;
    FUZZ_CHECK(LoadSettingsFromRegistry(reloaded) == 0);
    FUZZ_CHECK(FormatOptionsFile(reloaded) == FormatOptionsFile(loaded));
    return 0;
}
