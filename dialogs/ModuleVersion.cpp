#include "ModuleVersion.h"

#include <cstring>

CModuleVersion::CModuleVersion()
    : VS_FIXEDFILEINFO{}
{
}

void CModuleVersion::Reset()
{
    // A failed read must not leave an earlier module's block to answer queries.
    m_versionData.clear();
    m_language = 0;
    m_codePage = 1252;
    static_cast<VS_FIXEDFILEINFO&>(*this) = VS_FIXEDFILEINFO{};
}

bool CModuleVersion::GetFileVersionInfo(const char16_t* moduleName)
{
    Reset();

    const std::string fileName = GetModuleFileNameW(moduleName);
    if (fileName.empty())
        return false;
    const uint32_t size = GetFileVersionInfoSizeW(fileName);
    if (size == 0)
        return false;
    std::vector<uint8_t> data(size);
    if (!GetFileVersionInfoW(fileName, size, data.data()))
        return false;
    return TakeVersionData(std::move(data));
}

bool CModuleVersion::TakeVersionData(std::vector<uint8_t> data)
{
    Reset();
    const uint8_t* fixed = nullptr;
    size_t fixedBytes = 0;
    if (!VerQueryValueW(data.data(), data.size(), u"\\", &fixed, &fixedBytes)
        || fixedBytes < sizeof(VS_FIXEDFILEINFO))
        return false;
    std::memcpy(static_cast<VS_FIXEDFILEINFO*>(this), fixed, sizeof(VS_FIXEDFILEINFO));

    const uint8_t* translation = nullptr;
    size_t translationBytes = 0;
    if (VerQueryValueW(data.data(), data.size(), u"\\VarFileInfo\\Translation", &translation, &translationBytes)
        && translationBytes > 3) {
        m_language = uint16_t(translation[0] | translation[1] << 8);
        m_codePage = uint16_t(translation[2] | translation[3] << 8);
    }
    if (dwSignature != kVsFixedFileInfoSignature) {
        Reset();
        return false;
    }
    m_versionData = std::move(data);
    return true;
}

QString CModuleVersion::GetValue(const char16_t* key) const
{
    if (m_versionData.empty() || !key)
        return {};
    const QString path = QString::asprintf("\\StringFileInfo\\%04x%04x\\", m_language, m_codePage)
                         + QString::fromUtf16(key);
    const uint8_t* value = nullptr;
    size_t bytes = 0;
    if (!VerQueryValueW(m_versionData.data(), m_versionData.size(),
                        std::u16string_view(reinterpret_cast<const char16_t*>(path.utf16()), size_t(path.size())),
                        &value, &bytes))
        return {};
    QString text;
    for (size_t i = 0; i + 1 < bytes; i += 2) {
        const char16_t c = char16_t(value[i] | value[i + 1] << 8);
        if (c == 0)
            break;
        text.append(QChar(c));
    }
    return text;
}
