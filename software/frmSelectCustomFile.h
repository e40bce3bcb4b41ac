#pragma once
#include "core/XmlDocument.h"

#include <QDialog>
#include <QPointer>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class clsUserData;

// "选择加入文件": the user's own applications (the user data's `customsapp` section, one `capp`
// with `appname` and `apppath` each), listed with their files' icons, added, edited and deleted.
//
// Modes: viewing (boxes read-only; list, "添加", "编辑", "删除" and "关闭" usable), editing the
// clicked entry and adding a new one (boxes editable; "保存", "取消" and "选择" shown; the rest
// disabled). "保存" is enabled only while both boxes hold more than blanks, and stores only a
// path at which a file exists; otherwise the wrong-path warning shows until the path is edited.
// An entry becomes the clicked one by a click, by Enter or by moving to it with the arrow keys;
// "编辑" and "删除" act on the clicked entry and do nothing before one was clicked. Every change
// is written to the user data file at once.
class frmSelectCustomFile : public QDialog {
    Q_OBJECT
public:
    enum Mode { ViewMode = 1, EditMode = 2, AddMode = 3 };

    explicit frmSelectCustomFile(clsUserData* userData, QWidget* parent = nullptr);
    ~frmSelectCustomFile() override;

    // Shows the program's one window modeless (made on first use, raised later). Null when the
    // user data is not loaded; the user is told.
    static frmSelectCustomFile* ShowWindow(clsUserData* userData, QWidget* owner = nullptr);
    static frmSelectCustomFile* Existing();

    Mode mode() const { return mMode; }
    // The element of the clicked entry (null before any click and after a deletion).
    XmlNode clickedElement() const { return mClicked; }

    // The controls, by the names the window's code uses.
    QListWidget* lvw_CustomApp = nullptr;
    QLineEdit* txt_AppName = nullptr;
    QLineEdit* txt_AppPath = nullptr;
    QPushButton* btn_SelectApplication = nullptr;
    QLabel* Lbl_WrongPathWarning = nullptr;
    QPushButton* cmd_Add = nullptr;
    QPushButton* cmd_Edit = nullptr;
    QPushButton* cmd_Delete = nullptr;
    QPushButton* cmd_Save = nullptr;
    QPushButton* cmd_Cancel = nullptr;
    QPushButton* cmd_Close = nullptr;

public slots:
    void onAdd();
    void onEdit();
    void onDelete();
    void onSave();
    void onCancel();
    void onSelectApplication();

protected:
    // Escape leaves editing or adding as "取消" does; in view mode it closes the window.
    void reject() override;
    // The close box closes in every mode; an edit not saved is dropped.
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void fillList();
    void markFirstEntry();
    void entryClicked(QListWidgetItem* item);
    void setMode(Mode mode);
    void showEntry(const XmlNode& element);
    void updateSaveEnabled();
    void saveUserData();

    clsUserData* mUserData;
    XmlNode mCustomsApp;
    std::vector<XmlNode> mEntries; // the element of each list row
    XmlNode mClicked;
    Mode mMode = ViewMode;
    bool mFilling = false;
};
