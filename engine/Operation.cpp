// Operation framework: the parameter list and the three forms derived from it
// (operation text, registry section, editor page).
//
// The text form is read from macros that a user may have edited by hand, so
// every reader here is lenient and bounded: lengths are clamped to the text
// before any position is formed, and position arithmetic runs in 64 bits.
#include "Operation.h"

#include "OperationPage.h"
#include "Profile.h"
#include "TextUtil.h"

#include <QHash>

#include <algorithm>
#include <cstdint>

namespace {

QHash<QString, OperationPageFactory>& PageFactories()
{
    static QHash<QString, OperationPageFactory> factories;
    return factories;
}

} // namespace

void RegisterOperationPageFactory(const QString& kind, OperationPageFactory factory)
{
    if (factory)
        PageFactories().insert(kind, std::move(factory));
    else
        PageFactories().remove(kind);
}

IOperationPage* CreateOperationPage(const QString& kind, COperation& operation)
{
    const auto it = PageFactories().constFind(kind);
    return it != PageFactories().constEnd() && *it ? (*it)(operation) : nullptr;
}

COperation::COperation(const char* name, const char* section)
    : m_strName(QString::fromUtf8(name))
    , m_strSection(QString::fromUtf8(section))
{
    AddIntParam(QStringLiteral("ManualInput"), &m_nManualInput);
    AddIntParam(QStringLiteral("Auto"), &m_nAuto);
}

COperation::~COperation()
{
    DeletePage();
}

void COperation::AddIntParam(const QString& key, int* member)
{
    m_params.push_back(std::make_unique<OperationParam>(OperationParam{key, member, OperationParam::kInt}));
}

void COperation::AddStringParam(const QString& key, QString* member)
{
    m_params.push_back(std::make_unique<OperationParam>(OperationParam{key, member, OperationParam::kString}));
}

COperation* COperation::Clone() const
{
    COperation* clone = CreateNew();
    if (clone)
        CopyParamsTo(clone);
    return clone;
}

void COperation::CopyParamsTo(COperation* target) const
{
    if (!target || target == this)
        return;
    // Lists of two kinds differ; matching them entry by entry would write an
    // int into a string. Then nothing is copied at all.
    const auto& dst = target->m_params;
    if (dst.size() != m_params.size())
        return;
    for (size_t i = 0; i < m_params.size(); ++i) {
        if (dst[i]->kind != m_params[i]->kind || dst[i]->key != m_params[i]->key)
            return;
    }
    for (size_t i = 0; i < m_params.size(); ++i) {
        const OperationParam& from = *m_params[i];
        const OperationParam& to = *dst[i];
        if (from.kind == OperationParam::kInt)
            *static_cast<int*>(to.value) = *static_cast<const int*>(from.value);
        else if (from.kind == OperationParam::kString)
            *static_cast<QString*>(to.value) = *static_cast<const QString*>(from.value);
    }
}

QString COperation::SaveToString() const
{
    QString body;
    for (const auto& p : m_params) {
        QString value;
        if (p->kind == OperationParam::kInt)
            value = IntToString(*static_cast<const int*>(p->value));
        else if (p->kind == OperationParam::kString)
            value = EscapeListValue(*static_cast<const QString*>(p->value));
        if (!body.isEmpty())
            body += u',';
        body += p->key + u',' + value;
    }
    return m_strName + u',' + IntToString(static_cast<int>(body.size())) + u',' + body;
}

int COperation::LoadFromString(const QString& text)
{
    QString rest = text;
    while (!rest.isEmpty()) {
        const QString key = PopToken(rest, u',');
        const QString value = PopToken(rest, u',');
        const auto it = std::find_if(m_params.begin(), m_params.end(),
                                     [&](const auto& p) { return p->key == key; });
        if (it == m_params.end())
            continue;
        const OperationParam& p = **it;
        if (p.kind == OperationParam::kInt)
            *static_cast<int*>(p.value) = StringToIntLenient(value);
        else if (p.kind == OperationParam::kString)
            *static_cast<QString*>(p.value) = UnescapeListValue(value);
    }
    return 1;
}

void COperation::SaveToRegistry() const
{
    if (m_strSection.isEmpty())
        return;
    for (const auto& p : m_params) {
        if (p->kind == OperationParam::kInt)
            CProfile::WriteProfileInt(m_strSection, p->key, *static_cast<const int*>(p->value));
        else if (p->kind == OperationParam::kString)
            CProfile::WriteProfileString(m_strSection, p->key, *static_cast<const QString*>(p->value));
    }
}

void COperation::LoadFromRegistry()
{
    if (m_strSection.isEmpty())
        return;
    // The current value is the default: missing or malformed entries keep it.
    for (const auto& p : m_params) {
        if (p->kind == OperationParam::kInt) {
            int* member = static_cast<int*>(p->value);
            *member = CProfile::GetProfileInt(m_strSection, p->key, *member);
        } else if (p->kind == OperationParam::kString) {
            QString* member = static_cast<QString*>(p->value);
            *member = CProfile::GetProfileString(m_strSection, p->key, *member);
        }
    }
}

IOperationPage* COperation::CreatePageOnce()
{
    if (!m_pPage)
        m_pPage = CreateOperationPage(m_strSection, *this);
    return m_pPage;
}

int COperation::AddPage(IPageSheet* sheet, int batchMode)
{
    IOperationPage* page = GetPage();
    if (!page || !sheet)
        return 0;
    UpdatePage();
    page->SetBatchMode(batchMode);
    int result = sheet->SetActivePage(page);
    if (!result) {
        sheet->AddPage(page);
        result = sheet->SetActivePage(page);
    }
    return result;
}

int COperation::HasPageWindow(int)
{
    IOperationPage* page = GetPage();
    return page && page->HasWindow() ? 1 : 0;
}

void COperation::RemovePage(IPageSheet* sheet)
{
    IOperationPage* page = GetPage();
    if (page && sheet)
        sheet->RemovePage(page);
}

void COperation::DeletePage()
{
    IOperationPage* page = m_pPage;
    m_pPage = nullptr;
    delete page;
}

ListRecord PopListRecord(QString& text)
{
    ListRecord record;
    record.name = PopToken(text, u',');
    const int length = StringToIntLenient(PopToken(text, u','));
    // Clamp before forming positions: a hand-edited length may be anything.
    const qsizetype size = text.size();
    const qsizetype take = length <= 0 ? 0 : std::min<qsizetype>(length, size);
    record.body = text.left(take);
    // Drop the body and the one separator after it; a negative length keeps
    // the whole text, as the position length + 1 would lie before its start.
    const int64_t next = std::max<int64_t>(int64_t(length) + 1, 0);
    if (size > int64_t(length) && next < size)
        text.remove(0, static_cast<qsizetype>(next));
    else
        text.clear();
    return record;
}

std::unique_ptr<IOperation> PopOperationRecord(QString& text, const std::vector<IOperation*>& prototypes)
{
    const ListRecord record = PopListRecord(text);
    for (IOperation* prototype : prototypes) {
        if (!prototype || prototype->GetName() != record.name)
            continue;
        std::unique_ptr<IOperation> op(prototype->Clone());
        if (op) {
            op->LoadFromString(record.body);
            op->SetAuto(1);
        }
        return op;
    }
    return nullptr;
}
