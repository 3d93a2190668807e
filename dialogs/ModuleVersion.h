// CModuleVersion: the version block of a loaded module (the program when no
// name is given), its fixed record copied into the base, and string queries.
#pragma once

#include "platform/VersionInfo.h"

#include <QString>

#include <cstdint>
#include <vector>

class CModuleVersion : public VS_FIXEDFILEINFO {
public:
    CModuleVersion();

    // True when the module is loaded, its file holds a version block with a
    // fixed record and the record's signature is right. On failure the fixed
    // fields are 0 and every value is empty.
    bool GetFileVersionInfo(const char16_t* moduleName);
    // The steps after the block is read: fixed record, translation, signature.
    // Also takes a block made elsewhere.
    bool TakeVersionData(std::vector<uint8_t> data);
    // The string `key` of the current translation's table; empty when none.
    QString GetValue(const char16_t* key) const;

    uint16_t GetLanguage() const { return m_language; }
    uint16_t GetCodePage() const { return m_codePage; }
    // The block as read from the file; empty until a successful read.
    const std::vector<uint8_t>& GetVersionData() const { return m_versionData; }

private:
    void Reset();

    std::vector<uint8_t> m_versionData;
    uint16_t m_language = 0;
    uint16_t m_codePage = 1252;
};
