#pragma once
#include <QPointer>
#include <QWidget>

class TreeView;
class clsEntertainment;

// The entertainment pane's window: hosts the entertainment tree that the common data's
// clsEntertainment builds and drives.
class frmEnt : public QWidget {
    Q_OBJECT
public:
    explicit frmEnt(QWidget* parent = nullptr);
    ~frmEnt() override;
    TreeView* tvwNav() const { return mTree; }

private:
    TreeView* mTree = nullptr;
    QPointer<clsEntertainment> mEntertainment;
};
