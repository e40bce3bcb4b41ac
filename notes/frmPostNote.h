#pragma once
#include <QMainWindow>
#include <QPointer>

class CommandBarControl;
class CommandBars;
class QPlainTextEdit;
class QScreen;
class clsPostNote;

// The small always-on-top window of one sticky note: the caption "便签[" + creation time + "]",
// a toolbar with "删除" and the edit box filling the rest. Every change of the text and every
// move or resize is written into the note's record and saved (through the notes' gathering
// save). The close box hides the note; a window closed for any other reason leaves the note
// marked visible, so it reopens at the next start.
class frmPostNote : public QMainWindow {
    Q_OBJECT
public:
    // Why the window goes: by the close box (the user), by the program's own code (Hide,
    // Delete), or because the program ends.
    enum UnloadMode { UnloadByUser, UnloadByCode, UnloadForExit };

    // Loads the window for `note`: caption, text, and its place (the default place for a new
    // note, else the record's geometry). The note's FormHandle is set to this window.
    explicit frmPostNote(clsPostNote* note, QWidget* parent = nullptr);
    ~frmPostNote() override;

    clsPostNote* postNote() const { return mNote; }
    QPlainTextEdit* txt_Note() const { return mEdit; }
    CommandBars* commandBars() const { return mBars; }
    CommandBarControl* deleteButton() const { return mDelete; }

    // Closes the window for a reason other than the close box.
    void Unload(UnloadMode mode);
    // Forgets the record (it is going away); the window then writes nothing.
    void ReleaseNote();

    // The default place and size of a new note on `screen`'s pixels: 300 x 200, its top-left
    // corner 100 pixels left of and above the screen's centre.
    static QRect DefaultGeometry(const QScreen* screen);

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void place();
    void writeGeometry();
    void onExecute(CommandBarControl* control);
    void onTextChanged();

    QPointer<clsPostNote> mNote;
    CommandBars* mBars = nullptr;
    CommandBarControl* mDelete = nullptr;
    QPlainTextEdit* mEdit = nullptr;
    UnloadMode mUnloadMode = UnloadByUser;
    bool mLoaded = false;
    bool mClosed = false;
};
