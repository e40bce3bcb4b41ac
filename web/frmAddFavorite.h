#pragma once
#include <QDialog>
#include <QString>

class QComboBox;
class QLabel;
class QLineEdit;

// The add-to-favorites dialog: asks the name of the shortcut and the favorites folder it goes
// into, then writes "<name>.url" there. A name cannot leave the favorites folder, and an
// existing shortcut is replaced only after the user agreed.
class frmAddFavorite : public QDialog {
    Q_OBJECT
public:
    frmAddFavorite(const QString& favoritesRoot, const QString& title, const QString& url,
                   QWidget* parent = nullptr);

    // Shows the dialog for the page and returns the path of the written shortcut, or empty when
    // the user cancelled or there is no favorites folder. A page that is no site (a blank page,
    // the program's own pages, a data: or script address) is refused with a message.
    static QString AddFavorite(QWidget* parent, const QString& title, const QString& url);

    static bool CanBeFavorite(const QString& url);

    // The written file after the dialog was accepted.
    QString WrittenPath() const { return mWritten; }
    QLineEdit* nameEdit() const { return mName; }
    QComboBox* folderBox() const { return mFolder; }
    QLabel* errorLabel() const { return mError; }

public slots:
    void accept() override;

private:
    QString mRoot;
    QString mUrl;
    QString mWritten;
    QLineEdit* mName = nullptr;
    QComboBox* mFolder = nullptr;
    QLabel* mError = nullptr;
};
