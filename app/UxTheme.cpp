#include "UxTheme.h"

bool UxThemeLibrary::s_bLoaded = false;

namespace {

QStringList g_excluded;

// Program start and exit bracket the library's lifetime.
struct CUxThemeLifetime {
    CUxThemeLifetime() { UxThemeLibrary::Load(); }
    ~CUxThemeLifetime() { UxThemeLibrary::Free(); }
} g_uxThemeLifetime;

} // namespace

bool UxThemeLibrary::Load()
{
    s_bLoaded = false;
    return s_bLoaded;
}

void UxThemeLibrary::Free()
{
    s_bLoaded = false;
}

void CSkinManager::ExcludeModule(const QString& module)
{
    if (!g_excluded.contains(module))
        g_excluded.append(module);
}

bool CSkinManager::LoadSkin(const QString&, const QString&)
{
    return false;
}

QStringList CSkinManager::ExcludedModules()
{
    return g_excluded;
}
