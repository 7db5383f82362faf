#include <QApplication>
#include <QFont>

#include <gtest/gtest.h>

// Widgets need an application object; the offscreen platform needs no display.
int main(int argc, char* argv[]) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("IPAPGothic"), 9));
    return RUN_ALL_TESTS();
}
