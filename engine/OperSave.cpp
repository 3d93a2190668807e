// The save operation: its settings' keys and one save of one image.
//
// Reads the image's path and the current-folder hook; writes the target file
// through CKsImage::Save (the library writes a temporary file and replaces
// the target only when writing succeeded) and creates missing levels of the
// destination folder. A failed write never ends silently: the user retries,
// skips or aborts.
#include "OperSave.h"

#include "FileNames.h"
#include "KsImage.h"
#include "MessageBoxes.h"
#include "OperationPage.h"

#include <QDir>

#include <cstring>

namespace {

std::function<QString()>& CurrentFolderSource()
{
    static std::function<QString()> source;
    return source;
}

QString WithSlash(const QString& folder)
{
    return folder.isEmpty() || folder.endsWith(u'/') ? folder : folder + u'/';
}

QString FolderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? QString() : path.left(slash + 1);
}

} // namespace

const QString COperSave::kConfirmText = QStringLiteral("Do you want to save the image?");
const QString COperSave::kCannotRecompressText =
    QStringLiteral("This photo cannot be recompressed (\"All\").\nIt can be saved with \"Changes Only\".");

COperSave::COperSave()
    : COperation("Save", "Saving")
{
    SaveSettings& s = m_settings;
    AddIntParam(QStringLiteral("CurTab"), &s.CurTab);
    AddIntParam(QStringLiteral("CompressionMode"), &s.CompressionMode);
    AddIntParam(QStringLiteral("Quality"), &s.Quality);
    AddIntParam(QStringLiteral("ColorSampling"), &s.ColorSampling);
    AddIntParam(QStringLiteral("OptHuffmanTable"), &s.OptHuffmanTable);
    AddIntParam(QStringLiteral("UseSaveAsSuffix"), &s.UseSaveAsSuffix);
    AddStringParam(QStringLiteral("SaveAsSuffix"), &s.SaveAsSuffix);
    AddIntParam(QStringLiteral("RetainOriginalTime"), &s.RetainOriginalTime);
    AddIntParam(QStringLiteral("OriginalSaveAsFolder"), &s.OriginalSaveAsFolder);
    AddIntParam(QStringLiteral("AutoSave"), &s.AutoSave);
    AddIntParam(QStringLiteral("ConfirmSave"), &s.ConfirmSave);
    AddIntParam(QStringLiteral("SaveComments"), &s.SaveComments);
    AddIntParam(QStringLiteral("SaveEXIF"), &s.SaveEXIF);
    AddIntParam(QStringLiteral("GenerateEXIFThumb"), &s.GenerateEXIFThumb);
    AddIntParam(QStringLiteral("EXIFThumbSize"), &s.EXIFThumbSize);
    AddIntParam(QStringLiteral("UseSaveSuffix"), &s.UseSaveSuffix);
    AddStringParam(QStringLiteral("SaveSuffix"), &s.SaveSuffix);
    AddIntParam(QStringLiteral("UseDstFolder"), &s.UseDstFolder);
    AddStringParam(QStringLiteral("DstFolder"), &s.DstFolder);
}

void COperSave::UpdatePage()
{
    if (m_pPage)
        m_pPage->BindParams(&m_settings);
}

void COperSave::SetCurrentFolderSource(std::function<QString()> source)
{
    CurrentFolderSource() = std::move(source);
}

bool COperSave::ChooseTarget(const QString& imagePath, QString* target) const
{
    const SaveSettings& s = m_settings;
    // A suffixed name is made free in the folder written, so no file there
    // is replaced.
    const auto unique = [&](const QString& path) {
        *target = MakeUniquePath(path, s.SaveSuffix);
        if (!target->isEmpty())
            return true;
        *target = path;
        return false;
    };
    target->clear();
    if (!s.TargetPath.isEmpty()) {
        *target = s.TargetPath;
        return true;
    }
    if (!s.UseDstFolder)
        return !s.UseSaveSuffix || unique(imagePath);

    // Without a current folder a relative destination hangs below the
    // image's own folder, never below the process's working directory.
    QString base = CurrentFolderSource() ? CurrentFolderSource()() : QString();
    if (base.isEmpty())
        base = FolderOf(imagePath);
    base = WithSlash(base);
    QString folder = WithSlash(s.DstFolder);
    if (QDir::isRelativePath(folder))
        folder = base + folder;
    // A level that cannot be made shows up as a failed save.
    if (IsUsablePath(folder))
        QDir().mkpath(folder);
    const QString name = imagePath.mid(imagePath.lastIndexOf(u'/') + 1);
    if (!s.UseSaveSuffix) {
        *target = folder + name;
        return true;
    }
    return unique(folder + name);
}

QString COperSave::FailureCause(const CKsImage& image) const
{
    if (const int error = image.GetLastSaveError())
        return QString::fromLocal8Bit(std::strerror(error));
    // No system call failed, only the encoder. It turns pixels into
    // grayscale, YCbCr or RGB data, never CMYK or YCCK, so retrying such a
    // photo is in vain. The library tells grayscale and YCbCr from the rest;
    // of the rest only RGB re-encodes.
    IKestrel* lib = image.GetLibraryObject();
    if (m_settings.CompressionMode == 1 && lib && !lib->IsGrayscale() && !lib->CanAdjustLevels())
        return kCannotRecompressText;
    return QString();
}

IAction* COperSave::CreateAction(CKsImage* image, int* stopFlag)
{
    m_lastTarget.clear();
    if (!image || !image->IsLoaded()) {
        m_lastOutcome = SaveOutcome::NotLoaded;
        return nullptr;
    }
    if (!GetAuto() && m_settings.ConfirmSave && !MessageBoxes().AskOkCancel(kConfirmText)) {
        m_lastOutcome = SaveOutcome::Declined;
        return nullptr;
    }
    for (;;) {
        QString target;
        const bool chosen = ChooseTarget(image->GetPath(), &target);
        m_lastTarget = target.isEmpty() ? image->GetPath() : target;
        if (chosen && image->Save(target, &m_settings)) {
            m_lastOutcome = SaveOutcome::Saved;
            return nullptr;
        }
        const QString cause = chosen ? FailureCause(*image) : QString();
        switch (MessageBoxes().AskSaveError(m_lastTarget, cause)) {
        case IMessageBoxes::SaveErrorChoice::Skip:
            m_lastOutcome = SaveOutcome::Skipped;
            return nullptr;
        case IMessageBoxes::SaveErrorChoice::Abort:
            if (stopFlag)
                *stopFlag = 1;
            m_lastOutcome = SaveOutcome::Aborted;
            return nullptr;
        case IMessageBoxes::SaveErrorChoice::Retry:
            break;
        }
    }
}
