#pragma once
#include <QFont>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QWidget>

class QAction;
class QComboBox;
class QLabel;
class QMainWindow;
class QMenu;
class QMenuBar;
class QToolBar;
class QToolButton;
class QWidget;
class IconStore;
class CommandBar;
class CommandBars;
class StatusBar;

// One control of a command bar: a button, a popup (menu), a split button, a label, a combo box or
// a hosted window (a panel of its own, shown as one entry of a bar or menu). It carries the
// command identifier that the execute signal reports, and the icon number it shows (its
// identifier unless set otherwise).
class CommandBarControl : public QObject {
    Q_OBJECT
public:
    enum Type { Button, Popup, SplitButtonPopup, ButtonPopup, Label, ComboBox, Custom };
    enum Style { StyleAutomatic, StyleIcon, StyleCaption, StyleIconAndCaption };

    Type type() const { return mType; }
    int Id() const { return mId; }
    void setId(int id);
    QString Caption() const { return mCaption; }
    void setCaption(const QString& caption);
    QString TooltipText() const { return mTooltip; }
    void setTooltipText(const QString& text);
    QString DescriptionText() const { return mDescription; }
    void setDescriptionText(const QString& text) { mDescription = text; }
    QString Parameter() const { return mParameter; }
    void setParameter(const QString& parameter) { mParameter = parameter; }
    // The icon number in the icon store; -1 shows no icon.
    int IconId() const { return mIconId; }
    void setIconId(int number);
    bool BeginGroup() const { return mBeginGroup; }
    void setBeginGroup(bool begin);
    bool Enabled() const { return mEnabled; }
    void setEnabled(bool enabled);
    bool Checked() const { return mChecked; }
    void setChecked(bool checked);
    bool Visible() const { return mVisible; }
    void setVisible(bool visible);
    Style style() const { return mStyle; }
    void setStyle(Style style);
    // On a menu bar: shown at the right end of the bar, as a button with icon and caption.
    bool RightAligned() const { return mRightAligned; }
    void setRightAligned(bool right);
    // Free data for the owner (the relative step of a history entry, ...).
    QVariant Tag() const { return mTag; }
    void setTag(const QVariant& tag) { mTag = tag; }

    // The bar that holds this control.
    ::CommandBar* Parent() const { return mParent; }
    // The popup bar of a Popup, SplitButtonPopup or ButtonPopup control (nullptr otherwise).
    ::CommandBar* CommandBar() const { return mPopup; }

    // The Qt action behind the control, and the widgets of labels and combo boxes.
    QAction* action() const { return mAction; }
    QComboBox* comboBox() const { return mCombo; }
    QLabel* label() const { return mLabel; }
    // The window a Custom control hosts, set once before the control is first shown; the control
    // owns it from now on. Its accessible name becomes the caption when it has none of its own.
    void setCustomWidget(QWidget* widget);
    QWidget* customWidget() const;
    // The tool button that shows the control on a toolbar (nullptr elsewhere or before layout).
    QToolButton* toolButton() const;

    // Runs the control as if the user had clicked it: the bar set reports it as executed
    // (nothing happens while the control is disabled, as for a click).
    void Execute();

    ~CommandBarControl() override;

private:
    friend class CommandBar;
    friend class CommandBars;
    CommandBarControl(::CommandBar* parent, Type type, int id, const QString& caption);
    void refreshAction();
    void refreshIcon();
    void onTriggered();
    QAction* separatorAction();

    ::CommandBar* mParent;
    ::CommandBar* mPopup = nullptr;
    Type mType;
    int mId;
    QString mCaption, mTooltip, mDescription, mParameter;
    int mIconId;
    bool mBeginGroup = false, mEnabled = true, mChecked = false, mVisible = true;
    bool mIconExplicit = false, mRightAligned = false;
    Style mStyle = StyleAutomatic;
    QVariant mTag;
    QAction* mAction = nullptr;
    QAction* mSeparator = nullptr;
    QComboBox* mCombo = nullptr;
    QLabel* mLabel = nullptr;
};

// A menu bar, toolbar or popup menu: an ordered list of controls.
class CommandBar : public QObject {
    Q_OBJECT
public:
    enum Kind { MenuBar, ToolBar, PopupBar };

    Kind kind() const { return mKind; }
    QString Title() const { return mTitle; }
    CommandBars* Bars() const { return mBars; }
    // The control that opens this popup (nullptr for menu bars and toolbars).
    CommandBarControl* ParentControl() const { return mParentControl; }

    // Adds a control; `before` is a zero-based position (-1: at the end).
    CommandBarControl* Add(CommandBarControl::Type type, int id, const QString& caption, int before = -1);
    int Count() const { return int(mControls.size()); }
    // Zero-based.
    CommandBarControl* Item(int index) const;
    QList<CommandBarControl*> Controls() const { return mControls; }
    // The first control with that identifier; with `recursive`, popups are searched too.
    CommandBarControl* Find(int id, bool recursive = false) const;
    void Remove(CommandBarControl* control);
    void DeleteAll();
    bool Visible() const;
    // Toolbars and the menu bar show or hide; a popup opens at the mouse pointer or closes.
    void setVisible(bool visible);
    // Opens a popup bar at a point on the screen (context menus); the popup-opening signal
    // comes first, as for every popup.
    void ShowPopup(const QPoint& globalPos);
    void ShowPopup();

    // The Qt widget behind the bar: QMenuBar, QToolBar or QMenu.
    QWidget* widget() const { return mWidget; }
    QMenuBar* menuBar() const;
    QToolBar* toolBar() const;
    QMenu* menu() const;

    ~CommandBar() override;

private:
    friend class CommandBars;
    friend class CommandBarControl;
    CommandBar(CommandBars* bars, Kind kind, const QString& title, QWidget* widget,
               CommandBarControl* parentControl = nullptr);
    void relayout();
    void relayoutCorner(const QList<CommandBarControl*>& controls);
    void updateButtons();
    QToolButton* buttonFor(const CommandBarControl* control) const;
    const CommandBar* rootBar() const;
    QIcon iconFor(int number) const;

    CommandBars* mBars;
    Kind mKind;
    QString mTitle;
    QPointer<QWidget> mWidget;
    CommandBarControl* mParentControl;
    QList<CommandBarControl*> mControls;
    // Menu bar only: the right-aligned controls and the corner widget that shows them.
    QList<CommandBarControl*> mCornerControls;
    QPointer<QWidget> mCorner;
};

// The set of command bars of one window: its menu bar, toolbars, popups and status bar. Every
// control of the set reports through the one Execute signal, and every popup through the one
// InitCommandsPopup signal just before it shows, so the owner can fill it then.
class CommandBars : public QObject {
    Q_OBJECT
public:
    // Popup: a context menu of its own, not attached to any control; open it with ShowPopup.
    enum Position { Top, Bottom, Left, Right, Popup };

    explicit CommandBars(QMainWindow* window);
    ~CommandBars() override;

    QMainWindow* window() const { return mWindow; }
    void SetIconStore(IconStore* store);
    IconStore* Icons() const { return mIcons; }
    void SetFont(const QFont& font);
    QFont Font() const { return mFont; }

    // The menu bar (created on first use).
    CommandBar* ActiveMenuBar();
    // A new toolbar at the given side, on the row after the bars already there (or a context
    // popup for Position Popup).
    CommandBar* Add(const QString& title, Position position = Top);
    QList<CommandBar*> ToolBars() const { return mToolBars; }
    CommandBar* ToolBarByTitle(const QString& title) const;
    // The status bar (created on first use).
    StatusBar* statusBar();
    // The first control with that identifier in any bar or popup of the set.
    CommandBarControl* FindControl(int id) const;
    QList<CommandBarControl*> FindControls(int id) const;

    // Puts `bar` on the same row as `reference`, directly right of it.
    void DockRightOf(CommandBar* bar, CommandBar* reference);
    // Applies pending changes of the bars and of the window's toolbar layout now.
    void RecalcLayout();

signals:
    void Execute(CommandBarControl* control);
    void InitCommandsPopup(CommandBar* popup);
    // A right click on an entry of a drop-down menu (the entry is not executed). Context
    // popups of their own (Position Popup) take right clicks as ordinary clicks.
    void ControlRightClick(CommandBarControl* control);
    // The list of a combo box is about to drop down, so the owner can refill it.
    void ComboBoxDropDown(CommandBarControl* control);

private:
    friend class CommandBar;
    friend class CommandBarControl;
    void registerPopup(CommandBar* popup);
    bool eventFilter(QObject* watched, QEvent* event) override;
    QList<CommandBar*> allBars() const;
    void applyFont(QWidget* widget) const;

    QMainWindow* mWindow;
    IconStore* mIcons = nullptr;
    QFont mFont;
    bool mFontSet = false;
    CommandBar* mMenuBar = nullptr;
    QList<CommandBar*> mToolBars;
    QList<CommandBar*> mPopups;
    QPointer<StatusBar> mStatusBar;
};
