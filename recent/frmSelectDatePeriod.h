#pragma once
#include <QDate>
#include <QDialog>

class QDateEdit;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

// "选择时间": picks one day or a period for deleting recent-document records by date. Shown
// modally; afterwards isCancel says whether the user backed out, else startDate and endDate
// hold the two pickers' dates (both are read in either mode).
class frmSelectDatePeriod : public QDialog {
    Q_OBJECT
public:
    explicit frmSelectDatePeriod(QWidget* parent = nullptr);

    bool isCancel = false;
    QDate startDate;
    QDate endDate;

    QRadioButton* optPeriod() const { return mPeriod; }
    QRadioButton* optOneDay() const { return mOneDay; }
    QDateEdit* dtpStart() const { return mStart; }
    QDateEdit* dtpEnd() const { return mEnd; }
    QLabel* lblFrom() const { return mFrom; }
    QLabel* lblTo() const { return mTo; }
    QPushButton* cmdOK() const { return mOK; }
    QPushButton* cmdCancel() const { return mCancel; }

public slots:
    // "取消", Escape and the close box.
    void reject() override;

private:
    void setPeriodMode(bool period);
    void confirm();

    QGroupBox* mKind;
    QRadioButton* mPeriod;
    QRadioButton* mOneDay;
    QLabel* mFrom;
    QLabel* mTo;
    QDateEdit* mStart;
    QDateEdit* mEnd;
    QPushButton* mOK;
    QPushButton* mCancel;
};
