// CKsImage: the open image document. It owns one library image object, the
// 24-bit display bitmap rebuilt from the coefficients on demand, the image's
// undo history and its path, and tells its view about changes.
//
// The display bitmap covers the image rounded up to whole MCUs, rows
// top-down: image row y starts at GetFirstRow() + y * GetStride(). Edits that
// change the coefficients drop it (DeleteDib); whoever needs pixels next
// rebuilds it (CreateDib).
#pragma once

#include "Dib24.h"
#include "Kestrel.h"
#include "UndoMan.h"
#include "View.h"

#include <QImage>
#include <QString>

#include <future>

class CJPEGlib;
struct SaveSettings;

class CKsImage {
public:
    // Asks `lib` for a library object; without one the image is unusable
    // (GetLibraryObject() is null and every operation fails).
    explicit CKsImage(const CJPEGlib& lib);
    virtual ~CKsImage();
    CKsImage(const CKsImage&) = delete;
    CKsImage& operator=(const CKsImage&) = delete;

    // Loads a JPEG file. A path that does not exist changes nothing; any
    // other failure leaves the image closed with its path set to `path`.
    // With makeDib the display bitmap is built too and must succeed.
    int Load(const QString& path, int makeDib);
    // Starts loading `path` (without the bitmap) on a thread of its own; the
    // next Load of the same path takes its result. Until then the image reads
    // as not loaded and its library object belongs to that thread; any other
    // use of the image waits for it. A path Load would not take is ignored.
    void StartLoad(const QString& path);
    // Saves through the library to `path` (empty: the image's own path) with
    // the options made from `settings` (SaveOptionsFromSettings). On success
    // the history is marked saved and the path becomes the saved one. On
    // failure GetLastSaveError() says why.
    int Save(const QString& path, const SaveSettings* settings = nullptr);
    // The errno of the step the last failed Save stopped at; 0 when no
    // system call failed (the library could not encode the picture).
    int GetLastSaveError() const { return m_lastSaveError; }
    // Clears the history, drops the bitmap, closes the library image.
    void Close();

    int IsLoaded() const;
    int GetWidth() const;
    int GetHeight() const;
    QString GetPath() const { return m_path; }
    void SetPath(const QString& path) { m_path = path; }

    void SetView(IView* view) { m_view = view; }
    IView* GetView() const { return m_view; }
    void RefreshView();
    void SwapViewSize();

    CUndoMan* GetUndoMan() { return &m_undoMan; }
    // False when the undo file could not be made: such an image loads
    // nothing. The start-up image ends the program then.
    bool HasUndoFile() const { return m_undoMan.IsFileOpen(); }

    // Rebuilds the display bitmap from the coefficients; 0 (and no bitmap)
    // when nothing is loaded, memory runs out or the library cannot render.
    int CreateDib();
    // Drops the display bitmap (its memory is kept for the next CreateDib
    // until Close); 1 when there was one.
    int DeleteDib();
    // Takes over a bitmap made by an edit (whole MCUs wide, rows top-down).
    void AttachDib(CDib24&& dib);
    bool HasDib() const { return !m_dib.IsNull(); }
    const CDib24& GetDib() const { return m_dib; }
    CDib24& GetDib() { return m_dib; }
    // The display bitmap's top row (null when none); the library takes it
    // with a positive stride.
    BYTE* GetFirstRow() { return m_firstRow; }
    // The address of the top-row pointer, as the library's
    // ApplyBitmapChanges wants it.
    BYTE** GetFirstRowPointer() { return &m_firstRow; }
    int GetStride() const { return m_dib.Stride(); }
    int GetDibWidth() const { return m_dib.Width(); }
    int GetDibHeight() const { return m_dib.Height(); }
    // The bitmap as an image without a copy (null image when none).
    QImage GetDibImage() const { return m_dib.View(); }

    // Encodes changed pixels of the display bitmap back into their blocks.
    int ApplyBitmapChanges(int reencodeAll, BitmapChangeStats* stats);

    IKestrel* GetLibraryObject() const { return m_lib; }

private:
    // Waits for a load StartLoad began: its result, -1 when none was under way.
    int FinishLoad();

    IKestrel* m_lib = nullptr;
    CDib24 m_dib;
    // The memory of the last dropped bitmap, for the next one of its size.
    CDib24 m_spareDib;
    BYTE* m_firstRow = nullptr;
    IView* m_view = nullptr;
    CUndoMan m_undoMan;
    QString m_path;
    int m_lastSaveError = 0;
    std::future<int> m_pendingLoad;
    QString m_pendingPath;
};

// The library's save options for one save, field by field from `settings`;
// the library's defaults for null settings. The bitmap fields stay empty.
SaveOptions SaveOptionsFromSettings(const SaveSettings* settings);
