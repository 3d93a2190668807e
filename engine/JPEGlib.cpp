// Loading the image library from the program's own folder. dlopen is given
// an absolute path, which it takes as it is: neither the current folder nor
// the library search path is consulted.
#include "JPEGlib.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

CJPEGlib::CJPEGlib()
{
    Load(ProgramFolder());
}

CJPEGlib::CJPEGlib(const QString& folder)
{
    Load(folder);
}

CJPEGlib::~CJPEGlib()
{
    if (m_module)
        dlclose(m_module);
}

QString CJPEGlib::ProgramFolder()
{
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty())
        return QString();
    return QFile::decodeName(exe.parent_path().c_str());
}

void CJPEGlib::Load(const QString& folder)
{
    if (folder.isEmpty()) {
        m_error = QStringLiteral("The program's folder is unknown.");
        return;
    }
    const QString path = QDir(QFileInfo(folder).absoluteFilePath()).filePath(QString::fromLatin1(LibraryFileName()));
    if (!QFileInfo(path).isFile()) {
        m_error = QStringLiteral("%1 does not exist.").arg(path);
        return;
    }
    m_module = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!m_module) {
        const char* why = dlerror();
        m_error = why ? QString::fromLocal8Bit(why) : QStringLiteral("dlopen failed.");
        return;
    }
    m_create = reinterpret_cast<CreateKestrelObjectFn>(dlsym(m_module, "CreateKestrelObject"));
    if (!m_create)
        m_error = QStringLiteral("CreateKestrelObject is missing from %1.").arg(path);
}
