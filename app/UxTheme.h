// The skin and visual-styles layer. Linux has neither library, so both
// holders keep the calls the program makes and report that nothing is
// loaded; the widgets keep the platform's own style.
#pragma once

#include <QString>
#include <QStringList>

// Holds the visual-styles library for the whole run: loaded before the
// application object is used, freed at exit.
class UxThemeLibrary {
public:
    static bool Load();
    static void Free();
    static bool IsLoaded() { return s_bLoaded; }

private:
    static bool s_bLoaded;
};

// The frame's skin: modules to leave alone, then the style file and colour
// scheme to load.
class CSkinManager {
public:
    static void ExcludeModule(const QString& module);
    // False: no skin can be loaded here.
    static bool LoadSkin(const QString& styleFile, const QString& colorScheme);
    static bool IsLoaded() { return false; }
    static QStringList ExcludedModules();
};
