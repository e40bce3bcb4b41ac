#pragma once
#include <QMainWindow>

// The program's one main window. Closing it is the end of the program: its unload runs the
// shutdown, which saves the user data.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool mPainted = false;
};
