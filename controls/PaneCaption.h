#pragma once
#include <QIcon>
#include <QWidget>

class QLabel;
class QToolButton;

// The title bar of a docking pane: icon, title, a pin button and a close button. A docked pane
// wears it as its frame's title bar, where the pin sends the pane to its edge strip; a pane slid
// out from its strip wears it too, where the pin docks it again. Both buttons are reachable with
// the keyboard and carry their meaning as accessible name.
class PaneCaption : public QWidget {
    Q_OBJECT
public:
    explicit PaneCaption(QWidget* parent = nullptr);

    QString title() const;
    void setTitle(const QString& title);
    void setIcon(const QIcon& icon);
    bool isDocked() const { return mDocked; }
    void setDocked(bool docked);
    // Drawn in the selection colour while the keyboard focus is inside the pane.
    void setActive(bool active);

    QToolButton* pinButton() const { return mPin; }
    QToolButton* closeButton() const { return mClose; }

    QSize sizeHint() const override;

signals:
    void pinClicked();
    void closeClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void refreshButtons();

    QLabel* mIcon;
    QLabel* mTitle;
    QToolButton* mPin;
    QToolButton* mClose;
    bool mDocked = true;
    bool mActive = false;
};
