// The reference of the start-up benchmark: the smallest Qt Widgets program with a window.
// It prints one line at its window's first paint and ends when it is terminated.
#include <QApplication>
#include <QWidget>
#include <cstdio>

namespace {
class Window : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        if (!mPainted) {
            mPainted = true;
            std::printf("painted\n");
            std::fflush(stdout);
        }
    }

private:
    bool mPainted = false;
};
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Window w;
    w.resize(640, 480);
    w.show();
    return QApplication::exec();
}
