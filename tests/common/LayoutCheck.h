// A layout rule for laid-out windows: every visible control is at least as
// large as its minimum size hint, and no two visible sibling controls overlap.
// Composite controls (combo boxes, spin boxes, scroll areas, tab bars) are
// checked as one control; their inner widgets are theirs to place, except
// the content of a scroll area, which is held to the rule inside it.
#pragma once

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QScrollArea>
#include <QStringList>
#include <QTabBar>
#include <QWidget>

namespace layoutcheck {

inline QString Describe(const QWidget* w)
{
    QString name = QString::fromLatin1(w->metaObject()->className());
    if (!w->objectName().isEmpty())
        name += QLatin1Char('#') + w->objectName();
    const QString text = w->property("text").toString();
    if (!text.isEmpty())
        name += QStringLiteral(" \"%1\"").arg(text);
    const QString title = w->property("title").toString();
    if (!title.isEmpty())
        name += QStringLiteral(" [%1]").arg(title);
    return name;
}

inline bool IsComposite(const QWidget* w)
{
    return qobject_cast<const QComboBox*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
           qobject_cast<const QAbstractScrollArea*>(w) || qobject_cast<const QTabBar*>(w);
}

// The minimum size hint as a layout honours it: an explicit minimum size
// wins in its direction, a maximum size bounds it, an ignored policy drops it.
inline QSize NeededSize(const QWidget* w)
{
    const QSizePolicy policy = w->sizePolicy();
    QSize need = w->minimumSizeHint();
    if (policy.horizontalPolicy() == QSizePolicy::Ignored)
        need.setWidth(0);
    if (policy.verticalPolicy() == QSizePolicy::Ignored)
        need.setHeight(0);
    if (w->hasHeightForWidth())
        need.setHeight(w->heightForWidth(w->width()));
    need = need.boundedTo(w->maximumSize());
    if (w->minimumWidth() > 0)
        need.setWidth(w->minimumWidth());
    if (w->minimumHeight() > 0)
        need.setHeight(w->minimumHeight());
    return need.expandedTo(QSize(0, 0));
}

inline void CheckSize(const QWidget* w, QStringList& problems)
{
    const QSize need = NeededSize(w);
    if (w->width() < need.width() || w->height() < need.height())
        problems << QStringLiteral("%1 is %2x%3, needs %4x%5")
                        .arg(Describe(w))
                        .arg(w->width())
                        .arg(w->height())
                        .arg(need.width())
                        .arg(need.height());
}

inline void Collect(const QWidget* top, const QWidget* parent, QStringList& problems)
{
    QList<const QWidget*> shown;
    for (const QObject* o : parent->children()) {
        const auto* w = qobject_cast<const QWidget*>(o);
        if (!w || w->isWindow() || !w->isVisibleTo(top))
            continue;
        shown.append(w);
        CheckSize(w, problems);
        if (!IsComposite(w))
            Collect(top, w, problems);
        // What scrolls is held to the rule inside its area.
        else if (const auto* scroll = qobject_cast<const QScrollArea*>(w); scroll && scroll->widget()) {
            CheckSize(scroll->widget(), problems);
            Collect(top, scroll->widget(), problems);
        }
    }
    for (int i = 0; i < shown.size(); ++i)
        for (int j = i + 1; j < shown.size(); ++j)
            if (shown[i]->geometry().intersects(shown[j]->geometry()))
                problems << QStringLiteral("%1 overlaps %2").arg(Describe(shown[i]), Describe(shown[j]));
}

// What breaks the rule inside `top` (empty when the layout holds). Show the
// window and let its layout run before calling.
inline QStringList LayoutProblems(const QWidget* top)
{
    QStringList problems;
    Collect(top, top, problems);
    return problems;
}

// The same, with `w` itself held to its own minimum too.
inline QStringList WidgetLayoutProblems(const QWidget* w)
{
    QStringList problems;
    CheckSize(w, problems);
    Collect(w, w, problems);
    return problems;
}

} // namespace layoutcheck
