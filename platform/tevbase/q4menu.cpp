#include "q4menu.h"

Q4Menu::Q4Menu(QWidget* parent)
    : QMenu(parent)
{ }

Q4Menu::Q4Menu(const QString& title, QWidget* parent)
    : QMenu(title, parent)
{ }

Q4Menu::~Q4Menu() = default;

QAction* Q4Menu::FindItem(int id) const
{
    const QList<QAction*> entries = actions();
    for (QAction* action : entries) {
        const QVariant data = action->data();
        bool ok = false;
        if (data.isValid() && data.toInt(&ok) == id && ok)
            return action;
    }
    return nullptr;
}
