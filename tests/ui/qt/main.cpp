// The window tests need a QApplication; without a display they draw off screen.
#include <QApplication>

#include <gtest/gtest.h>

namespace {

QtMessageHandler qtDefaultHandler = nullptr;

// Remarks of the offscreen platform (every fixed-size window, every raise) and of a test
// machine without a session are not news, and would mix into the list of tests.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg && type != QtCriticalMsg) {
        return;
    }
    qtDefaultHandler(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
    qtDefaultHandler = qInstallMessageHandler(quietHandler);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
