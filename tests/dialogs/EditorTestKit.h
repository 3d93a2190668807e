// What the editor tests share: a stand-in operation kind for kinds not built
// yet (keys registered over the engine's parameter block), a host dialog with a
// tab-less sheet, reading a parameter back from the operation text, typing
// into controls found by id, and screenshots.
#pragma once

#include "DlgItems.h"
#include "EmptyPage.h"
#include "Operation.h"
#include "OperationPage.h"
#include "PropertySheet.h"
#include "TextUtil.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QHash>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <functional>

namespace edtest {

// An operation kind over `Block`: the keys are registered by the caller in
// the kind's order; the page comes from the factory of `section`.
template <class Block>
class CKind : public COperation {
public:
    using Keys = std::function<void(CKind&)>;
    CKind(const char* name, const char* section, Keys keys)
        : COperation(name, section), m_name(name), m_section(section), m_keys(keys)
    {
        if (m_keys)
            m_keys(*this);
    }
    void Int(const char* key, int* member) { AddIntParam(QString::fromUtf8(key), member); }
    void Str(const char* key, QString* member) { AddStringParam(QString::fromUtf8(key), member); }
    COperation* CreateNew() const override { return new CKind(m_name, m_section, m_keys); }
    void UpdatePage() override
    {
        if (m_pPage)
            m_pPage->BindParams(&block);
    }
    IOperationPage* GetPage() override { return CreatePageOnce(); }
    IAction* CreateAction(CKsImage*, int*) override { return nullptr; }
    Block& Params() { return block; }

    Block block;

private:
    const char* m_name;
    const char* m_section;
    Keys m_keys;
};

// The value of `key` in the operation's text ("" when absent).
inline QString Param(const COperation& op, const QString& key)
{
    QString text = op.SaveToString();
    QString body = PopListRecord(text).body;
    while (!body.isEmpty()) {
        const QString k = PopToken(body, u',');
        const QString v = PopToken(body, u',');
        if (k == key)
            return UnescapeListValue(v);
    }
    return QString();
}

// A host as the editors' hosts build it: a frame holding a tab-less sheet
// whose first page is the empty one.
class CHost : public QDialog {
public:
    CHost()
    {
        auto* layout = new QVBoxLayout(this);
        frame = new QWidget(this);
        layout->addWidget(frame);
        resize(560, 380);
        sheet.AddPage(&empty);
        sheet.CreateTabless(frame);
        sheet.FitToWindow(frame);
        show();
        activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(this));
    }
    // Shows the operation's page; returns its window.
    QWidget* Show(COperation& op, int batchMode)
    {
        EXPECT_EQ(op.AddPage(&sheet, batchMode), 1);
        auto* page = dynamic_cast<CPropertyPage*>(op.GetExistingPage());
        return page ? page->GetSafeHwnd() : nullptr;
    }
    // Saves a picture of the dialog under the artifacts folder.
    void Snap(const QString& name)
    {
        QApplication::processEvents();
        QDir().mkpath(QStringLiteral(PIXMEND_ARTIFACTS_DIR));
        EXPECT_TRUE(grab().save(QStringLiteral(PIXMEND_ARTIFACTS_DIR "/") + name + QStringLiteral(".png")));
    }
    QWidget* frame;
    CTablessSheet sheet;
    CEmptyPage empty;
};

template <class T>
T* Item(QWidget* window, int id)
{
    T* control = qobject_cast<T*>(GetDlgItem(window, id));
    EXPECT_NE(control, nullptr) << "control " << id;
    return control;
}

// Replaces an edit's text as a user would, then leaves it with Tab.
inline void TypeInto(QLineEdit* edit, const QString& text, bool leave = false)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
    if (leave)
        QTest::keyClick(edit, Qt::Key_Tab);
}

// Runs `answer` on the next modal dialog of type T once it is up.
template <class T>
void WhenModal(std::function<void(T*)> answer)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        timer->stop();
        timer->deleteLater();
        answer(dialog);
    });
    timer->start();
}

} // namespace edtest
