#pragma once
// The real Qt window and sheet on the offscreen platform, driven as a person would:
// widgets found by their names, clicked and typed into with QTest.
#include <QApplication>
#include <QImage>
#include <QWidget>
#include <string>

#include "platform/Desktop.h"
#include "platform/MessageQueue.h"
#include "tests/ui/UiTestSupport.h"

class QtDesktopTest : public UiTest {
public:
    static platform::Desktop* desktop;
    static platform::MessageQueue* queue;

protected:
    // Saves what the widget shows as <build>/artifacts/<name>.png and returns it.
    static QImage Screenshot(QWidget* widget, const std::string& name);
    static void ProcessEvents() { QApplication::processEvents(); }
};
