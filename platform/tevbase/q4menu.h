#pragma once

#include <tevbase/tevbase_export.h>

#include <QMenu>

/// The base of the value-bound menus: a QMenu whose entries carry an integer id in their
/// action data.
class TEVBASE_EXPORT Q4Menu : public QMenu
{
    Q_OBJECT

public:
    /// `parent` (default none) owns the menu as usual in Qt.
    explicit Q4Menu(QWidget* parent = nullptr);
    explicit Q4Menu(const QString& title, QWidget* parent = nullptr);
    ~Q4Menu() override;

    /// The first entry, in menu order, whose data is valid and converts to `id`; null when
    /// there is none.
    QAction* FindItem(int id) const;
};
