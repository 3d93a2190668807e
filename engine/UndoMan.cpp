// The undo history of one image and its temporary file.
#include "UndoMan.h"

#include "Action.h"
#include "KsImage.h"

#include <filesystem>
#include <system_error>

namespace {

QString TempFolder()
{
    std::error_code ec;
    const std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
    return ec ? QString() : QString::fromStdString(dir.string());
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
    while (CanRedo()) {
        delete m_actions.back();
        m_actions.pop_back();
    }
    if (m_current < m_saved)
        m_saved = -2;
    const int64_t end = StepStart(m_current + 1);
    m_file.SetLength(end);
    m_file.Seek(end);

    action->Do(m_owner, 1, &m_file, arg);

    m_actions.push_back(action);
    m_stepEnds.push_back(FileEnd());
    ++m_current;
    m_owner->RefreshView();
    return true;
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
    m_file.SeekToEnd();
    ++m_current;
    m_actions[static_cast<size_t>(m_current)]->Do(m_owner, 1, &m_file, nullptr);
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
