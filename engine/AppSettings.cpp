#include "AppSettings.h"

#include "Profile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

namespace {

int DefaultDpiScale()
{
    return 100;
}

CAppSettings::DpiScaleSource g_dpiScale = DefaultDpiScale;

// One table drives load and save so the two can never disagree on a name.
struct IntField {
    const char* section;
    const char* name;
    int CAppSettings::*field;
};

const IntField kIntFields[] = {
    {"Settings", "CurrentTab", &CAppSettings::CurrentTab},
    {"Settings", "CurDefaultOper", &CAppSettings::CurDefaultOper},
    {"View", "BackgroundColor", &CAppSettings::BackgroundColor},
    {"View", "ScaleOnOpen", &CAppSettings::ScaleOnOpen},
    {"View", "PozX", &CAppSettings::PozX},
    {"View", "PozY", &CAppSettings::PozY},
    {"View", "SzX", &CAppSettings::SzX},
    {"View", "SzY", &CAppSettings::SzY},
    {"View", "SortType", &CAppSettings::SortType},
    {"View", "MainToolbarVisible", &CAppSettings::MainToolbarVisible},
    {"View", "StatusbarVisible", &CAppSettings::StatusbarVisible},
    {"View", "PreviewPaneWidth", &CAppSettings::PreviewPaneWidth},
    {"View", "ShowThumbFilename", &CAppSettings::ShowThumbFilename},
    {"View", "ThumbWidth", &CAppSettings::ThumbWidth},
    {"View", "ThumbSpace", &CAppSettings::ThumbSpace},
    {"View", "ThumbBorder", &CAppSettings::ThumbBorder},
    {"View", "ThumbShadow", &CAppSettings::ThumbShadow},
    {"View", "DrawMode", &CAppSettings::DrawMode},
    {"SelCrop", "GuideLine", &CAppSettings::GuideLine},
};

struct StringField {
    const char* section;
    const char* name;
    QString CAppSettings::*field;
};

const StringField kStringFields[] = {
    {"View", "DefaultPath", &CAppSettings::DefaultPath},
    {"View", "DefaultPathSave", &CAppSettings::DefaultPathSave},
};

QString ExistingFolder(QStandardPaths::StandardLocation location)
{
    const QString path = QStandardPaths::writableLocation(location);
    return !path.isEmpty() && QFileInfo(path).isDir() ? path : QString();
}

} // namespace

CAppSettings::CAppSettings()
    : DefaultPath(DefaultFolder())
{
}

QString CAppSettings::DefaultFolder()
{
    QString folder = ExistingFolder(QStandardPaths::PicturesLocation);
    if (folder.isEmpty())
        folder = ExistingFolder(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

void CAppSettings::Load()
{
    for (const IntField& f : kIntFields)
        this->*f.field = CProfile::GetProfileInt(QLatin1String(f.section), QLatin1String(f.name), this->*f.field);
    for (const StringField& f : kStringFields)
        this->*f.field = CProfile::GetProfileString(QLatin1String(f.section), QLatin1String(f.name), this->*f.field);
    // The profile may hold anything; every reader gets what the pages allow.
    ThumbWidth = std::clamp(ThumbWidth, kMinThumbWidth, kMaxThumbWidth);
    ThumbSpace = std::clamp(ThumbSpace, kMinThumbSpace, kMaxThumbSpace);
}

bool CAppSettings::Save() const
{
    bool ok = true;
    for (const IntField& f : kIntFields)
        ok = CProfile::WriteProfileInt(QLatin1String(f.section), QLatin1String(f.name), this->*f.field) && ok;
    for (const StringField& f : kStringFields)
        ok = CProfile::WriteProfileString(QLatin1String(f.section), QLatin1String(f.name), this->*f.field) && ok;
    return ok;
}

int CAppSettings::GetThumbLabelHeight(int twoLines) const
{
    const int h = 12 * g_dpiScale() / 100;
    return twoLines ? 2 * h : h;
}

void CAppSettings::SetDpiScaleSource(DpiScaleSource source)
{
    g_dpiScale = source ? source : DefaultDpiScale;
}
