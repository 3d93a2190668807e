// The undo history of one image and its temporary file.
#include "UndoMan.h"

#include "Action.h"
#include "KsImage.h"
#include "MessageBoxes.h"

#include <QFile>
#include <QFileInfo>

namespace {

// TMPDIR, or /tmp when it is unset or empty (as everywhere else).
QString TempFolder()
{
    const QByteArray dir = qgetenv("TMPDIR");
    return dir.isEmpty() ? QStringLiteral("/tmp") : QFile::decodeName(dir);
}

} // namespace

int64_t CUndoMan::FileEnd() const
{
    const int64_t length = m_file.GetLength();
    return length >= 0 ? length : m_file.GetPosition();
}

CUndoMan::CUndoMan(CKsImage* owner) : CUndoMan(owner, TempFolder()) {}

CUndoMan::CUndoMan(CKsImage* owner, const QString& folder) : m_owner(owner)
{
    // Failure leaves the manager without a file; the owner decides what that
    // means (the start-up image ends the program, a batch image fails).
    m_file.Create(folder);
}

CUndoMan::CUndoMan(CKsImage* owner, InMemory) : m_owner(owner)
{
    m_file.CreateInMemory();
}

CUndoMan::~CUndoMan()
{
    ClearHistory();
    m_file.CloseAndRemove();
}

bool CUndoMan::AddAction(IAction* action, const void* arg)
{
    if (!action)
        return false;
    if (!m_owner || !m_owner->IsLoaded() || !m_file.IsOpen()) {
        delete action;
        return false;
    }
    const int64_t end = StepStart(m_current + 1);
    m_file.SetLength(end);
    m_file.Seek(end);

    action->Do(m_owner, 1, &m_file, arg);
    if (!KeepStep(action, end)) {
        delete action;
        return false;
    }

    // Only a kept step replaces the redo tail.
    while (CanRedo()) {
        delete m_actions.back();
        m_actions.pop_back();
    }
    if (m_current < m_saved)
        m_saved = -2;
    m_actions.push_back(action);
    m_stepEnds.push_back(FileEnd());
    ++m_current;
    m_owner->RefreshView();
    return true;
}

bool CUndoMan::KeepStep(IAction* action, int64_t start)
{
    // An in-memory store is the caller's to check (IsStoreIntact).
    if (m_file.IsInMemory() || m_file.Flush())
        return true;
    // The file refused the step's bytes; they are still held in memory, so
    // the step is taken back exactly and then cut away.
    action->Undo();
    m_file.SetLength(start);
    m_file.Seek(start);
    if (m_owner)
        m_owner->RefreshView();
    MessageBoxes().ShowMessage(NoRoomText(QFileInfo(m_file.GetFilePath()).absolutePath()));
    return false;
}

QString CUndoMan::NoRoomText(const QString& folder)
{
    return QStringLiteral("There is not enough room for the undo data in %1.").arg(folder);
}

bool CUndoMan::ReserveStep(int64_t bytes)
{
    // The next step is written from the end of the current one.
    const int64_t end = StepStart(m_current + 1);
    return m_file.IsOpen() && m_file.Seek(end) && m_file.Reserve(bytes);
}

void CUndoMan::Undo()
{
    if (!CanUndo())
        return;
    const int64_t start = StepStart(m_current);
    m_file.Seek(start);
    IAction* action = m_actions[static_cast<size_t>(m_current)];
    --m_current;
    action->Undo();
    m_file.SetLength(start);
    m_stepEnds.pop_back();
    if (m_owner)
        m_owner->RefreshView();
}

void CUndoMan::Redo()
{
    if (!CanRedo())
        return;
    const int64_t start = StepStart(m_current + 1);
    m_file.SetLength(start);
    m_file.Seek(start);
    IAction* action = m_actions[static_cast<size_t>(m_current + 1)];
    action->Do(m_owner, 1, &m_file, nullptr);
    if (!KeepStep(action, start))
        return;
    ++m_current;
    m_stepEnds.push_back(FileEnd());
    if (m_owner)
        m_owner->RefreshView();
}

void CUndoMan::ClearHistory()
{
    for (IAction* action : m_actions)
        delete action;
    m_actions.clear();
    m_stepEnds.clear();
    m_current = -1;
    m_saved = -1;
    m_file.SetLength(0);
    m_file.Seek(0);
}
