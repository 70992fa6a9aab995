// The desktop tests share one Qt application on the offscreen platform.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QByteArray>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/qt/QtDesktop.h"
#include "tests/qt/QtDesktopTest.h"

platform::Desktop* QtDesktopTest::desktop = nullptr;
platform::MessageQueue* QtDesktopTest::queue = nullptr;

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Qt wants a private runtime directory; the tests keep theirs in the build tree.
    const std::string runtime = std::string(PELLORA_ARTIFACT_DIR) + "/qt-runtime";
    mkdir(PELLORA_ARTIFACT_DIR, 0755);
    mkdir(runtime.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 0);
    ::testing::InitGoogleTest(&argc, argv);
    static std::unique_ptr<platform::MessageQueue> queue = platform::MessageQueue::Create();
    static int qtArgc = 1;
    static char* qtArgv[] = {argv[0], nullptr};
    std::unique_ptr<platform::Desktop> desktop(PelloraOpenDesktop(qtArgc, qtArgv, *queue));
    if (!desktop) {
        std::fprintf(stderr, "the offscreen Qt platform did not open\n");
        return 1;
    }
    QtDesktopTest::desktop = desktop.get();
    QtDesktopTest::queue = queue.get();
    return RUN_ALL_TESTS();
}
