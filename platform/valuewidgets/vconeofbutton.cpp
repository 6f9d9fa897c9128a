#include "vconeofbutton.h"

#include <values/valueselection.h>

#include <QPixmap>

namespace {
QIcon pictureOf(const char* const* xpm)
{
    return xpm ? QIcon(QPixmap(xpm)) : QIcon();
}
} // namespace

VCOneOfButton::VCOneOfButton(const QString& label, QWidget* parent,
    const char* const* selectedPicture, const char* const* unselectedPicture,
    const QString& statusTip)
    : VCButton(parent, label, false)
    , m_selectedPicture(pictureOf(selectedPicture))
    , m_unselectedPicture(pictureOf(unselectedPicture))
{
    setStatusTip(statusTip);
    if (selectedPicture)
        setIconSize(QPixmap(selectedPicture).size());
    Refresh();
}

VCOneOfButton::~VCOneOfButton() = default;

bool VCOneOfButton::SetSelection_ValuePath(
    const QString& path, const QString& item, QString otherItem)
{
    // The items first: binding refreshes the look, which compares with them.
    m_item = item;
    m_otherItem = std::move(otherItem);
    return SetValueSelection_ValuePath(path);
}

void VCOneOfButton::SetPictures(const QIcon& selectedPicture, const QIcon& unselectedPicture)
{
    m_selectedPicture = selectedPicture;
    m_unselectedPicture = unselectedPicture;
    // Sizes the button as a default picture would, then shows the look of the current state.
    SetDefaultPicture(selectedPicture);
    Refresh();
}

bool VCOneOfButton::IsItemSelected() const
{
    const values::ValueSelection* selection = GetValueSelection();
    return selection && selection->GetCurrentIndex() >= 0 && selection->GetStringValue() == m_item;
}

void VCOneOfButton::Press()
{
    if (values::ValueSelection* selection = GetValueSelection())
        selection->Select(IsItemSelected() ? m_otherItem : m_item);
}

void VCOneOfButton::Refresh()
{
    setIcon(IsItemSelected() ? m_selectedPicture : m_unselectedPicture);
}
