// CJPEGlib: loads the image library (libKestrel28.so) once for the run.
// The library is only ever taken from the program's own folder, by absolute
// path, never from the current folder or the library search path.
#pragma once

#include "Kestrel.h"

#include <QString>

class CJPEGlib {
public:
    // The library next to the running program (the folder of /proc/self/exe).
    CJPEGlib();
    // The library in `folder` (tests point this at folders of their own).
    explicit CJPEGlib(const QString& folder);
    virtual ~CJPEGlib();
    CJPEGlib(const CJPEGlib&) = delete;
    CJPEGlib& operator=(const CJPEGlib&) = delete;

    // The file name looked for in the folder.
    static const char* LibraryFileName() { return "libKestrel28.so"; }
    // The folder of the running program; empty when it cannot be read.
    static QString ProgramFolder();

    bool IsLoaded() const { return m_module != nullptr; }
    // The module handle, or null when loading failed.
    void* GetModule() const { return m_module; }
    // The library's export, or null when not loaded or missing.
    CreateKestrelObjectFn GetCreateFunction() const { return m_create; }
    // Why loading failed (empty when it did not).
    QString GetLoadError() const { return m_error; }

private:
    void Load(const QString& folder);

    void* m_module = nullptr;
    CreateKestrelObjectFn m_create = nullptr;
    QString m_error;
};
