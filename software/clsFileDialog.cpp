#include "software/clsFileDialog.h"

#include <QFileDialog>

QString clsFileDialog::FilterText() {
    return QStringLiteral("All   Files(*.*) (*)");
}

bool clsFileDialog::Show() {
    if (DialogType != OpenFile)
        return false;
    QFileDialog dialog(OwerHwnd, Title);
    dialog.setObjectName(QStringLiteral("clsFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(AllowMultiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setNameFilter(FilterText());
    // The list shows the caption alone, without the pattern in brackets.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return false;
    SelectedItems = chosen;
    return true;
}
