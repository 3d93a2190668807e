// CToolbarLabel: a toolbar item that shows only a text, such as the
// browser's "Sort by:". It carries a command id like any button but never
// looks disabled, whatever the update pass says about that id.
#pragma once

#include <QString>
#include <QWidgetAction>

class CToolbarLabel : public QWidgetAction {
    Q_OBJECT
public:
    // Id 0 and no text is the empty label a toolbar builds before it knows more.
    explicit CToolbarLabel(int id = 0, const QString& text = QString(), QObject* parent = nullptr);

    int GetId() const { return m_nID; }
    bool HasImage() const { return false; }
    int GetImageIndex() const { return -1; }

protected:
    QWidget* createWidget(QWidget* parent) override;

private:
    int m_nID;
};
