#pragma once

#include <valuewidgets/vcbutton.h>

#include <QIcon>

/// A button that stands for one item of a selection value.
///
/// A press selects the button's item; a press while that item is current selects the other
/// item, so a button whose two items are the same only ever selects. The button shows its
/// selected picture while its item is current and its unselected picture otherwise (also while
/// unbound), following the value's notifications.
class VALUEWIDGETS_EXPORT VCOneOfButton : public VCButton
{
    Q_OBJECT

public:
    /// `label` becomes the tool tip; the pictures are XPM data (copied, null for none);
    /// `statusTip` (default none) is shown in the status bar while the pointer is over the button.
    explicit VCOneOfButton(const QString& label = QString(), QWidget* parent = nullptr,
        const char* const* selectedPicture = nullptr,
        const char* const* unselectedPicture = nullptr, const QString& statusTip = QString());
    ~VCOneOfButton() override;

    /// Binds the button to the selection at `path` for `item`, with `otherItem` as the item a
    /// second press selects. False, and unbound, when there is no selection at `path`; an item
    /// that the selection lacks is simply never selected.
    bool SetSelection_ValuePath(const QString& path, const QString& item, QString otherItem);

    /// Replaces both pictures, for icons that carry more than one size: the smallest size of
    /// `selectedPicture` becomes the icon size.
    void SetPictures(const QIcon& selectedPicture, const QIcon& unselectedPicture);

    const QString& GetItem() const { return m_item; }
    const QString& GetOtherItem() const { return m_otherItem; }
    /// True while bound and the button's item is current.
    bool IsItemSelected() const;

protected:
    void Press() override;
    void Refresh() override;

private:
    QString m_item;
    QString m_otherItem;
    QIcon m_selectedPicture;
    QIcon m_unselectedPicture;
};
