#include "notes/frmPostNote.h"

#include "controls/CommandBars.h"
#include "core/QvIds.h"
#include "core/modInitial.h"
#include "core/modMessagebox.h"
#include "notes/clsPostNote.h"
#include "notes/clsPostNotes.h"
#include "platform/Twips.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>

namespace {
QScreen* primaryScreen() {
    return QGuiApplication::primaryScreen();
}

// Whether some part of the rectangle (in pixels) lies on a screen: a note saved on a monitor
// that has gone since would otherwise open where nobody can reach it.
bool onSomeScreen(const QRect& pixels) {
    const auto screens = QGuiApplication::screens();
    for (const QScreen* screen : screens) {
        if (screen->geometry().intersects(pixels))
            return true;
    }
    return screens.isEmpty();
}
} // namespace

frmPostNote::frmPostNote(clsPostNote* note, QWidget* parent)
    : QMainWindow(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                              Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      mNote(note) {
    setObjectName(QStringLiteral("frmPostNote"));
    setAttribute(Qt::WA_DeleteOnClose);

    mBars = new CommandBars(this);
    mBars->SetIconStore(modInitial::gIconStore);
    CommandBar* bar = mBars->Add(QStringLiteral("便签工具"), CommandBars::Top);
    if (QToolBar* toolBar = bar->toolBar()) {
        toolBar->setMovable(false);
        toolBar->setFloatable(false);
        toolBar->toggleViewAction()->setEnabled(false);
    }
    mDelete = bar->Add(CommandBarControl::Button, Cmd::NoteDelete, QStringLiteral("删除"));
    mDelete->setStyle(CommandBarControl::StyleIconAndCaption);
    mDelete->setTooltipText(QStringLiteral("删除这个便签"));
    if (QToolButton* button = mDelete->toolButton()) {
        button->setFocusPolicy(Qt::TabFocus);
        button->setAccessibleName(QStringLiteral("删除"));
    }
    connect(mBars, &CommandBars::Execute, this, &frmPostNote::onExecute);
    setContextMenuPolicy(Qt::NoContextMenu);

    mEdit = new QPlainTextEdit(this);
    mEdit->setObjectName(QStringLiteral("txt_Note"));
    mEdit->setAccessibleName(QStringLiteral("便签内容"));
    // Tab moves on to the "删除" button, so the whole window works from the keyboard.
    mEdit->setTabChangesFocus(true);
    setCentralWidget(mEdit);
    // The window opens ready for typing; the toolbar button comes first in the Tab order otherwise.
    mEdit->setFocus(Qt::OtherFocusReason);

    if (mNote) {
        setWindowTitle(QStringLiteral("便签[") + mNote->CreateTime() + QStringLiteral("]"));
        mEdit->setPlainText(mNote->Text());
        mEdit->moveCursor(QTextCursor::End);
        place();
        mNote->FormHandle = this;
    }
    connect(mEdit, &QPlainTextEdit::textChanged, this, &frmPostNote::onTextChanged);
    mLoaded = true;
}

frmPostNote::~frmPostNote() {
    if (mNote && mNote->FormHandle == this)
        mNote->FormHandle = nullptr;
}

QRect frmPostNote::DefaultGeometry(const QScreen* screen) {
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 800, 600);
    return QRect(area.x() + area.width() / 2 - 100, area.y() + area.height() / 2 - 100, 300, 200);
}

void frmPostNote::place() {
    QRect pixels;
    if (!mNote->IsNew && mNote->HasGeometry())
        pixels = Twips::ToPixels(mNote->GeometryTwips());
    if (pixels.isEmpty() || !onSomeScreen(pixels))
        pixels = DefaultGeometry(primaryScreen());
    mNote->IsNew = false;
    // The position is the frame's, the size the client area's: both come back the same way.
    move(pixels.topLeft());
    resize(pixels.size());
}

void frmPostNote::writeGeometry() {
    if (!mNote)
        return;
    const QRect pixels(pos(), size());
    // Unchanged in pixels: rewriting would only round the stored twips and cause a save.
    if (mNote->HasGeometry() && Twips::ToPixels(mNote->GeometryTwips()) == pixels)
        return;
    const QRect twips = Twips::FromPixels(pixels);
    mNote->setLeft(twips.x());
    mNote->setTop(twips.y());
    mNote->setWidth(twips.width());
    mNote->setHeight(twips.height());
    if (mNote->Parent)
        mNote->Parent->RequestSave();
}

void frmPostNote::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    if (mLoaded && isVisible())
        writeGeometry();
}

void frmPostNote::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (mLoaded && isVisible())
        writeGeometry();
}

void frmPostNote::onTextChanged() {
    if (!mNote)
        return;
    mNote->setText(mEdit->toPlainText());
    if (mNote->Parent)
        mNote->Parent->RequestSave();
}

void frmPostNote::onExecute(CommandBarControl* control) {
    if (!control || control->Id() != Cmd::NoteDelete || !mNote)
        return;
    if (modMessagebox::ConfirmDeleteNote() != Answer::Yes)
        return;
    // The question ran events: the note may have gone meanwhile.
    if (mNote)
        mNote->Delete();
}

void frmPostNote::Unload(UnloadMode mode) {
    mUnloadMode = mode;
    close();
}

void frmPostNote::ReleaseNote() {
    if (mNote && mNote->FormHandle == this)
        mNote->FormHandle = nullptr;
    mNote = nullptr;
}

void frmPostNote::closeEvent(QCloseEvent* event) {
    event->accept();
    if (mClosed)
        return;
    mClosed = true;
    // Only the close box (a close that comes from the window system) hides the note; the
    // program's own closes, the one at exit included, leave `visible` as it is.
    const bool byUser = event->spontaneous() && mUnloadMode == UnloadByUser;
    if (!mNote)
        return;
    clsPostNote* note = mNote;
    clsPostNotes* notes = note->Parent;
    if (byUser && note->Visible() != QLatin1String("0")) {
        note->setVisible(QStringLiteral("0"));
        if (notes)
            notes->RequestSave();
    }
    writeGeometry();
    ReleaseNote();
    // Whatever is pending reaches the file before the window is gone; at exit the notes save
    // once for all windows.
    if (notes && mUnloadMode != UnloadForExit)
        notes->FlushSave();
}
