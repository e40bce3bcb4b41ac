#pragma once
#include <QPointer>
#include <QWidget>

class AutoHideStrip;

// The main window's central area as the docking panes see it: the workspace in the middle and
// a strip of auto-hidden pane tabs on each of its four sides (each present only while it holds
// tabs). Panes slide out over the workspace as children of this frame, so the workspace itself
// never moves for them.
class AutoHideFrame : public QWidget {
    Q_OBJECT
public:
    explicit AutoHideFrame(QWidget* workspace, QWidget* parent = nullptr);

    QWidget* workspace() const { return mWorkspace; }
    AutoHideStrip* strip(Qt::DockWidgetArea area) const;
    // The workspace's rectangle in this frame's coordinates.
    QRect workspaceRect() const;

signals:
    // The workspace changed its size or place (window resized, a strip came or went).
    void workspaceMoved();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> mWorkspace;
    AutoHideStrip* mStrips[4];
};
