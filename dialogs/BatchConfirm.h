// CBatchConfirm: asks whether a macro runs on every selected image or on the
// open one only (dialog 168 "Batch Operation"). Modal; the result is the id
// of the button that ended it: 1075 "All Selected", 1076 "Current Only", or
// IDCANCEL (2) for Cancel, Esc and the close button.
#pragma once

#include <QDialog>
#include <QString>

class CBatchConfirm : public QDialog {
    Q_OBJECT
public:
    enum { IDD = 168, IDC_TEXT = 1082, IDC_ICON = 1083, IDC_ALL_SELECTED = 1075, IDC_CURRENT_ONLY = 1076,
           IDCANCEL = 2 };

    // `count` images are selected; "Current Only" is offered only while an
    // image is open (`currentOnly`).
    CBatchConfirm(QWidget* parent, const QString& actionName, int count, bool currentOnly);

    int DoModal();

    static QString Text(int count, const QString& actionName);

private:
    void OnAllSelected() { done(IDC_ALL_SELECTED); }
    void OnCurrentOnly() { done(IDC_CURRENT_ONLY); }
};
