#include <QApplication>
#include <gtest/gtest.h>

// Every test program runs with a QApplication so that widget, icon and file-icon code works;
// CTest sets QT_QPA_PLATFORM=offscreen, and a run by hand gets the same default here.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
