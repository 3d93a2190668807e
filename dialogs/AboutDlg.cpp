#include "AboutDlg.h"

#include "DlgItems.h"
#include "Link.h"
#include "ModuleVersion.h"
#include "PictureEx.h"
#include "DialogHost.h"
#include "ViewCursors.h"
#include "WebAddresses.h"

#include <QMouseEvent>

namespace {

// The box's own size when the picture cannot be loaded, at s = 100.
constexpr int kTemplateWidth = 500;
constexpr int kTemplateHeight = 260;

int DpiScale()
{
    const DialogHost& host = TheDialogHost();
    return host.dpiScale ? host.dpiScale() : 100;
}

} // namespace

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent)
    , m_picture(new CPictureEx(this))
    , m_version(new CLink(this))
    , m_notice(new CLink(this))
    , m_webLink(new CLink(this))
{
    setWindowTitle(tr("About Pixmend"));
    SetDlgItemId(m_picture, IDC_PICTURE);
    SetDlgItemId(m_version, IDC_VERSION);
    SetDlgItemId(m_notice, IDC_NOTICE);
    SetDlgItemId(m_webLink, IDC_WEB_LINK);
    OnInitDialog();
}

bool CAboutDlg::OnInitDialog()
{
    const int s = DpiScale();
    setFixedSize(kTemplateWidth * s / 100, kTemplateHeight * s / 100);

    // The version and the notice are plain texts: clicks on them fall
    // through to the box (which closes it) and they never change colour.
    for (CLink* text : {m_version, m_notice}) {
        text->SetNormalColor(0x000000);
        text->SetHoverColor(0x000000);
        text->SetUnderline(false);
        text->SetTarget(QStringLiteral("#"));
        text->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    m_version->SetFontHeight(24 * s / 100);
    m_version->SetFontWeight(700);
    m_notice->SetFontHeight(14 * s / 100);
    m_webLink->SetFontHeight(14 * s / 100);
    m_webLink->SetCursorId(kCursorPointingHand);
    m_webLink->setCursor(ViewCursor(kCursorPointingHand));
    m_webLink->SetTarget(QString::fromLatin1(kHomePageAddress));
    for (CLink* text : {m_version, m_notice, m_webLink})
        text->SetTransparent(true);

    CModuleVersion version;
    QString productVersion;
    if (version.GetFileVersionInfo(nullptr))
        productVersion = QStringLiteral("Ver. ") + version.GetValue(u"ProductVersion").replace(u',', u'.');
    m_version->setText(productVersion);
    m_notice->setText(tr("Lossless editing of JPEG photographs."));
    m_webLink->setText(QString::fromLatin1(kHomePageAddress).remove(QStringLiteral("https://")).remove(u'/'));

    // The picture is part of the box's surface: clicks go to the box.
    m_picture->setAttribute(Qt::WA_TransparentForMouseEvents);
    if (m_picture->LoadFromResource(QStringLiteral("188"), QStringLiteral("GIF"))) {
        const QSize picture = m_picture->GetSize();
        const QSize size(picture.width() * s / 100, picture.height() * s / 100);
        setFixedSize(size);
        m_picture->setGeometry(QRect(QPoint(0, 0), size));
        m_picture->Display();
    } else {
        m_picture->hide();
    }

    const int x = 230 * s / 100;
    const int width = 248 * s / 100;
    m_version->setGeometry(x, 109 * s / 100, width, 20 * s / 100);
    m_notice->setGeometry(x, 182 * s / 100, width, 14 * s / 100);
    m_webLink->setGeometry(x, 200 * s / 100, width, 15 * s / 100);
    m_picture->lower();
    return true;
}

void CAboutDlg::mousePressEvent(QMouseEvent* event)
{
    // Presses the link ignores come up here too: only the box's own surface
    // (the picture and the plain texts pass clicks through) closes it.
    if (event->button() == Qt::LeftButton && !childAt(event->position().toPoint())) {
        accept();
        return;
    }
    QDialog::mousePressEvent(event);
}
