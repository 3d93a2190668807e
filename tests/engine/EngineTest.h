// Shared helpers for the engine tests.
#pragma once

#include "Action.h"
#include "JPEGlib.h"
#include "KsImage.h"
#include "TestJpeg.h"
#include "UndoFile.h"

#include <gtest/gtest.h>

#include <QString>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace etest {

inline QString Q(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

// The real library, from the test program's own folder.
inline const CJPEGlib& RealLib()
{
    static CJPEGlib lib;
    return lib;
}

// Writes a JPEG of the given size to `path`.
inline std::filesystem::path WriteJpeg(const std::filesystem::path& path, int width, int height,
                                       std::vector<std::pair<int, int>> sampling = {{2, 2}, {1, 1}, {1, 1}},
                                       unsigned seed = 1)
{
    testjpeg::Pixels px = testjpeg::MakePattern(width, height, 3, seed);
    testjpeg::WriteFile(path, testjpeg::Encode(px, testjpeg::Sampled(85, std::move(sampling))));
    return path;
}

inline std::vector<short> Coefficients(const CKsImage& image)
{
    short* data = nullptr;
    int count = 0;
    if (IKestrel* k = image.GetLibraryObject())
        k->GetCoefficients(&data, &count);
    return data ? std::vector<short>(data, data + count) : std::vector<short>();
}

// Points the temporary folder (TMPDIR) at a fresh folder for one test.
class ScopedTempFolder {
public:
    ScopedTempFolder()
    {
        if (const char* old = std::getenv("TMPDIR"))
            m_old = old;
        setenv("TMPDIR", m_dir.path().c_str(), 1);
    }
    ~ScopedTempFolder()
    {
        if (m_old)
            setenv("TMPDIR", m_old->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
    const std::filesystem::path& path() const { return m_dir.path(); }
    // Names in the folder that look like undo files.
    std::vector<std::string> UndoFiles() const
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(m_dir.path()))
            if (CUndoFile::IsUndoFileName(Q(e.path().filename())))
                names.push_back(e.path().filename().string());
        return names;
    }

private:
    testjpeg::TempDir m_dir;
    std::optional<std::string> m_old;
};

// An action that writes a known byte pattern through the undo store and, on
// undo, reads it back and checks it. Each instance logs into `log`.
class CPatternAction : public CAction {
public:
    CPatternAction(int bytes, unsigned char fill, std::vector<std::string>* log = nullptr)
        : m_bytes(bytes), m_fill(fill), m_log(log)
    {
    }
    ~CPatternAction() override
    {
        if (m_log)
            m_log->push_back("delete " + std::to_string(m_fill));
    }
    IAction* Clone() const override { return new CPatternAction(m_bytes, m_fill, m_log); }
    QString GetName() const override { return QStringLiteral("Pattern"); }
    int IsBitmapEdit() const override { return 0; }

    int64_t writtenAt = -1;
    int readOk = -1;
    bool readMatched = false;

protected:
    void Apply(const void*) override
    {
        writtenAt = m_undoFile ? m_undoFile->GetPosition() : -1;
        std::vector<unsigned char> b(static_cast<size_t>(m_bytes), m_fill);
        Write(b.data(), m_bytes);
    }
    void Revert() override
    {
        std::vector<unsigned char> b(static_cast<size_t>(m_bytes), 0);
        readOk = Read(b.data(), m_bytes);
        readMatched = std::all_of(b.begin(), b.end(), [&](unsigned char c) { return c == m_fill; });
    }

private:
    int m_bytes;
    unsigned char m_fill;
    std::vector<std::string>* m_log;
};

} // namespace etest
