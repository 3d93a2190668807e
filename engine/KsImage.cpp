// The open image document.
#include "KsImage.h"

#include "FileNames.h"
#include "JPEGlib.h"
#include "TextUtil.h"

#include "platform/Bstr.h"

#include <QFileInfo>

#include <cerrno>
#include <string_view>
#include <system_error>

namespace {

// Paths cross the library boundary as a BSTR that lives for the call.
std::u16string_view Utf16View(const QString& text)
{
    return std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size()));
}

} // namespace

CKsImage::CKsImage(const CJPEGlib& lib) : m_undoMan(this)
{
    if (CreateKestrelObjectFn create = lib.GetCreateFunction()) {
        IKestrel* object = nullptr;
        if (create(&object) == S_OK)
            m_lib = object;
    }
}

CKsImage::~CKsImage()
{
    Close();
    if (m_lib)
        m_lib->Release();
    m_lib = nullptr;
}

void CKsImage::StartLoad(const QString& path)
{
    if (!IsUsablePath(path) || !QFileInfo::exists(path) || !m_lib || !HasUndoFile())
        return;
    Close();
    try {
        m_pendingLoad = std::async(std::launch::async, [lib = m_lib, path] {
            CBstr bstr(Utf16View(path));
            return lib->LoadFile(bstr, 0);
        });
        m_pendingPath = path;
    } catch (const std::system_error&) {
        // No thread: Load does it all later.
    }
}

int CKsImage::FinishLoad()
{
    if (!m_pendingLoad.valid())
        return -1;
    const int result = m_pendingLoad.get();
    m_pendingPath.clear();
    return result;
}

int CKsImage::Load(const QString& path, int makeDib)
{
    if (m_pendingLoad.valid()) {
        const bool started = path == m_pendingPath;
        const int loaded = FinishLoad();
        if (started) {
            m_path = path;
            return loaded && (!makeDib || CreateDib()) ? 1 : 0;
        }
    }
    // A missing file leaves the open image as it is.
    if (!IsUsablePath(path) || !QFileInfo::exists(path))
        return 0;
    if (!m_lib || !HasUndoFile())
        return 0;
    Close();
    m_path = path;
    CBstr bstr(Utf16View(path));
    if (!m_lib->LoadFile(bstr, 0))
        return 0;
    return !makeDib || CreateDib() ? 1 : 0;
}

int CKsImage::Save(const QString& path, const SaveSettings* settings)
{
    FinishLoad();
    const QString target = path.isEmpty() ? m_path : path;
    m_lastSaveError = EINVAL;
    if (!m_lib || !IsUsablePath(target))
        return 0;
    SaveOptions options = SaveOptionsFromSettings(settings);
    options.Bitmap = nullptr;
    options.BitmapStride = 0;
    if (options.CompressionMode == 1 && !HasDib())
        CreateDib(); // without it the library decides what a re-encode without pixels means
    if (HasDib()) {
        options.Bitmap = m_firstRow;
        options.BitmapStride = GetStride();
    }
    CBstr bstr(Utf16View(target));
    const int result = m_lib->SaveFile(bstr, &options);
    m_lastSaveError = result ? 0 : errno;
    if (result) {
        m_undoMan.MarkSaved();
        m_path = target;
    }
    return result;
}

void CKsImage::Close()
{
    FinishLoad();
    m_undoMan.ClearHistory();
    DeleteDib();
    m_spareDib.Reset();
    if (m_lib)
        m_lib->Close();
    m_path.clear();
}

int CKsImage::IsLoaded() const
{
    return m_lib && !m_pendingLoad.valid() ? m_lib->IsLoaded() : 0;
}

int CKsImage::GetWidth() const
{
    return m_lib && !m_pendingLoad.valid() ? m_lib->GetWidth() : 0;
}

int CKsImage::GetHeight() const
{
    return m_lib && !m_pendingLoad.valid() ? m_lib->GetHeight() : 0;
}

void CKsImage::RefreshView()
{
    if (m_view)
        m_view->OnImageChanged();
}

void CKsImage::SwapViewSize()
{
    if (m_view)
        m_view->SwapDimensions();
}

int CKsImage::CreateDib()
{
    DeleteDib();
    if (!IsLoaded())
        return 0;
    const int mcuWidth = m_lib->GetMcuWidth();
    const int mcuHeight = m_lib->GetMcuHeight();
    if (mcuWidth <= 0 || mcuHeight <= 0)
        return 0;
    const int width = RoundUpToMultiple(m_lib->GetWidth(), mcuWidth);
    const int height = RoundUpToMultiple(m_lib->GetHeight(), mcuHeight);
    // A bitmap dropped by an edit is re-used: the view asks for the new one
    // at once, and the same memory saves faulting in fresh pages.
    CDib24 dib = std::move(m_spareDib);
    if (!dib.Create(width, height))
        return 0;
    m_dib = std::move(dib);
    m_firstRow = m_dib.Bits();
    // A bitmap the library did not fill would show (and save) garbage.
    if (!m_lib->RenderToBitmap(m_firstRow, m_dib.Stride(), 1)) {
        DeleteDib();
        return 0;
    }
    return 1;
}

int CKsImage::DeleteDib()
{
    const bool had = HasDib();
    if (had)
        m_spareDib = std::move(m_dib);
    m_firstRow = nullptr;
    return had ? 1 : 0;
}

void CKsImage::AttachDib(CDib24&& dib)
{
    m_spareDib.Reset();
    m_dib = std::move(dib);
    m_firstRow = m_dib.Bits();
}

int CKsImage::ApplyBitmapChanges(int reencodeAll, BitmapChangeStats* stats)
{
    if (!m_lib || !HasDib())
        return 0;
    return m_lib->ApplyBitmapChanges(&m_firstRow, m_dib.Stride(), reencodeAll, stats);
}
