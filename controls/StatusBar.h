#pragma once
#include <QList>
#include <QObject>
#include <QString>

class QLabel;
class QProgressBar;
class QStatusBar;
class QWidget;

// One pane of a status bar: a text, or a progress bar.
class StatusBarPane : public QObject {
    Q_OBJECT
public:
    int Id() const { return mId; }
    QString Text() const;
    void setText(const QString& text);
    int Width() const { return mWidth; }
    // A fixed width in pixels; 0 sizes the pane to its text.
    void setWidth(int width);
    bool Visible() const { return mVisible; }
    void setVisible(bool visible);
    // A stretching pane takes the room the others leave.
    void setStretch(bool stretch);
    bool Stretch() const { return mStretch; }
    void setBold(bool bold);
    void setFontFamily(const QString& family);
    // A clickable pane reports clicks through StatusBar::PaneClick.
    void setClickable(bool clickable);
    bool Clickable() const { return mClickable; }
    void setToolTip(const QString& tip);

    // Progress panes.
    void setProgressRange(int maximum);
    void setProgressValue(int value);
    int ProgressValue() const;
    int ProgressMaximum() const;

    QWidget* widget() const;

private:
    friend class StatusBar;
    StatusBarPane(QObject* parent, int id, bool progress);
    bool eventFilter(QObject* watched, QEvent* event) override;

    int mId;
    int mWidth = 0;
    bool mVisible = true;
    bool mClickable = false;
    bool mStretch = false;
    QLabel* mLabel = nullptr;
    QProgressBar* mProgress = nullptr;
};

// The status bar of a window: panes left to right, by identifier.
class StatusBar : public QObject {
    Q_OBJECT
public:
    explicit StatusBar(QStatusBar* bar);

    StatusBarPane* AddPane(int id);
    StatusBarPane* AddProgressPane(int id);
    StatusBarPane* FindPane(int id) const;
    // Removes the pane and its widget; nothing when there is no pane with that identifier.
    void RemovePane(int id);
    QList<StatusBarPane*> Panes() const { return mPanes; }
    // Panes the user can see.
    int VisiblePaneCount() const;
    QStatusBar* bar() const { return mBar; }

signals:
    void PaneClick(int id);

private:
    friend class StatusBarPane;
    StatusBarPane* addPane(int id, bool progress);
    void place(StatusBarPane* pane);
    void removeKeepingOthers(QWidget* widget);

    QStatusBar* mBar;
    QList<StatusBarPane*> mPanes;
};
