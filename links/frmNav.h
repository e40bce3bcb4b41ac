#pragma once
#include <QPointer>
#include <QWidget>

class PopupTip;
class TreeView;
class clsNavigate;

// The navigation pane's window: hosts the navigation tree and its tool-tip popup; the tree is
// built and driven by the common data's clsNavigate.
class frmNav : public QWidget {
    Q_OBJECT
public:
    explicit frmNav(QWidget* parent = nullptr);
    ~frmNav() override;

    TreeView* tvwNav() const { return mTree; }
    PopupTip* popTip() const { return mPopTip; }
    clsNavigate* navigate() const;

protected:
    void hideEvent(QHideEvent* event) override;

private:
    TreeView* mTree = nullptr;
    PopupTip* mPopTip = nullptr;
    QPointer<clsNavigate> mNavigate;
};
