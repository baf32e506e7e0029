#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QAction;
class QActionGroup;
class QMenu;
class QWidget;
struct ProtocolEntry;

// The choices of the log's "Protocol" menu: None, the protocols built in, then the engineer's own
// (name and title), one refused greyed with why in its tooltip. Listed again as the catalogue is
// read again; what follows the choices in the menu (Hide Polls) stays.
class ProtocolMenu : public QObject
{
    Q_OBJECT
public:
    explicit ProtocolMenu(QWidget* parent);

    QMenu& menu() const { return *m_menu; }
    // Lists entries, chosen (a name, "" for None) checked: listed greyed when it is not among
    // them, as a description in use that left its folder.
    void List(const QList<ProtocolEntry>& entries, const QString& chosen);
    // Checks chosen's action, leaving the list as it is.
    void Check(const QString& chosen);
    // The action that chooses name; none when it is not listed.
    QAction* choice(const QString& name) const;

signals:
    void Chosen(const QString& name);

private:
    QAction* add(const QString& text, const QString& name);

    QMenu* m_menu = nullptr;
    QActionGroup* m_choices = nullptr;
    QAction* m_end = nullptr; // the separator after the choices
};
