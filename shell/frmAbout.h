#pragma once
#include <QDialog>

class MarkupLabel;
class QLineEdit;
class QPushButton;

// The About box: the program's version, the versions of its data, the browser engine's version
// and the maker's contacts.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

    // Fills the fields. Throws QvError when the common data has no `version` section.
    void Form_Load();

    // Shows the About box modeless over `parent` (the main window when none is given); a box
    // that is open already is brought to the front. Throws QvError (and leaves no window behind)
    // when the box cannot load.
    static frmAbout* ShowModeless(QWidget* parent = nullptr);

    QLineEdit* txt_MainVer;
    QLineEdit* txt_CommonVer;
    QLineEdit* txt_IconVer;
    QLineEdit* txt_IEVersion;
    MarkupLabel* Label10;
    MarkupLabel* Label8;
    QPushButton* btn_Close;

public slots:
    void Mail_Click();
    void QQ_Click();

private:
    void HyperlinkClick(const QString& handler);
};
