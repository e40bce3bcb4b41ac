#pragma once
#include <QString>
#include <QStringList>

class QWidget;

// The open-file dialog: one existing file, any name, chosen in the desktop's file dialog.
class clsFileDialog {
public:
    // The one dialog type there is: open a file.
    static constexpr int OpenFile = 3;

    int DialogType = OpenFile;
    // Several files at once (not used by the program; off at creation).
    bool AllowMultiSelect = false;
    // The window the dialog belongs to.
    QWidget* OwerHwnd = nullptr;
    QString Title;
    // The chosen path after a Show that returned true.
    QStringList SelectedItems;

    // Shows the dialog modally. True with SelectedItems holding the chosen path; false when the
    // user cancelled (SelectedItems then stays as it was). Any type but OpenFile shows nothing
    // and returns false.
    bool Show();

    // The filter the dialog offers: every file. Programs on this desktop mostly have no
    // extension, so the pattern is "*" although the caption keeps its familiar "(*.*)".
    static QString FilterText();
};
