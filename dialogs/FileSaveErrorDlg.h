// CFileSaveErrorDlg: asked when one image could not be written. The user
// retries, skips that image or stops the whole run. None of the buttons is
// the default one: Enter presses the button that has the focus ("Retry" at
// first), so a reflexive Enter never skips or aborts; Esc ends with IDCANCEL.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

class CFileSaveErrorDlg : public QDialog {
    Q_OBJECT
public:
    enum ControlId {
        IDC_RETRY = 1129,
        IDC_ABORT = 1130,
        IDC_SKIP = 1131,
        IDC_MESSAGE = 1132,
        IDC_ICON = 1133,
    };
    static constexpr int IDCANCEL = 2;

    // A null parent means the application's main window.
    explicit CFileSaveErrorDlg(QWidget* parent = nullptr);

    // Shows "Cannot write to:" and, after an empty line, the path, then the
    // cause on a line of its own when there is one; returns IDC_RETRY,
    // IDC_SKIP, IDC_ABORT or IDCANCEL.
    int DoModal(const QString& path, const QString& cause = QString());

    static QString MessageFor(const QString& path, const QString& cause = QString());

    QLabel* GetMessageLabel() const { return m_message; }
    QPushButton* GetButton(int id) const;

protected:
    bool OnInitDialog();
    void reject() override;

private:
    QLabel* m_icon;
    QLabel* m_message;
    QPushButton* m_buttons[3];
    QString m_strMessage;
};
