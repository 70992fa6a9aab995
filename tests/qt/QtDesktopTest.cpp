#include "tests/qt/QtDesktopTest.h"

#include <QDir>
#include <QPixmap>

QImage QtDesktopTest::Screenshot(QWidget* widget, const std::string& name) {
    QDir().mkpath(PELLORA_ARTIFACT_DIR);
    const QImage image = widget->grab().toImage();
    image.save(QString(PELLORA_ARTIFACT_DIR) + "/" + QString::fromStdString(name) + ".png");
    return image;
}
