// CAboutDlg: the about box. The animated picture fills it; the version, a
// notice and the home-page link lie over the picture's calm right part. A
// left click on the box itself closes it as OK.
#pragma once

#include <QDialog>

class CLink;
class CPictureEx;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    enum ControlId {
        IDC_VERSION = 1050,
        IDC_WEB_LINK = 1062,
        IDC_NOTICE = 1134,
        IDC_PICTURE = 1121,
    };

    explicit CAboutDlg(QWidget* parent = nullptr);

    CPictureEx* GetPicture() const { return m_picture; }
    CLink* GetVersionText() const { return m_version; }
    CLink* GetNotice() const { return m_notice; }
    CLink* GetWebLink() const { return m_webLink; }

protected:
    bool OnInitDialog();
    void mousePressEvent(QMouseEvent* event) override;

private:
    CPictureEx* m_picture;
    CLink* m_version;
    CLink* m_notice;
    CLink* m_webLink;
};
