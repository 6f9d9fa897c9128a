#include "vcbutton.h"

#include <values/tree.h>
#include <values/valueselection.h>

#include <QPixmap>

#include <algorithm>

VCButton::VCButton(QWidget* parent, const QString& label, bool autoRepeat)
    : QToolButton(parent)
{
    setToolTip(label);
    setAutoRepeat(autoRepeat);
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (isEnabled())
            Press();
    });
}

VCButton::~VCButton()
{
    release();
}

bool VCButton::SetValueSelection_ValuePath(const QString& path)
{
    values::Tree* tree = values::Tree::Instance();
    values::ValueSelection* selection = tree ? tree->Find<values::ValueSelection>(path) : nullptr;
    if (selection != m_pValueSelection) {
        release();
        m_pValueSelection = selection;
        if (selection)
            selection->AddObserver(this);
    }
    Refresh();
    return selection != nullptr;
}

void VCButton::SetDefaultPicture(const char* const* xpm)
{
    const QPixmap picture = xpm ? QPixmap(xpm) : QPixmap();
    if (!picture.isNull())
        setIconSize(picture.size());
    setIcon(QIcon(picture));
}

void VCButton::SetDefaultPicture(const QIcon& picture)
{
    const QList<QSize> sizes = picture.availableSizes();
    const auto smallest
        = std::min_element(sizes.begin(), sizes.end(), [](const QSize& a, const QSize& b) {
              return a.width() * a.height() < b.width() * b.height();
          });
    if (smallest != sizes.end())
        setIconSize(*smallest);
    setIcon(picture);
}

void VCButton::setEnabled(bool enabled)
{
    QToolButton::setEnabled(enabled);
    Refresh();
}

void VCButton::Update(Observable* observable, TChangeCode code)
{
    if (!m_pValueSelection || observable != m_pValueSelection)
        return;
    if (code == CC_Ending && m_pValueSelection->GetState() == values::VS_Ending) {
        release();
        Refresh();
    } else if (code == CC_Changed) {
        Refresh();
    }
}

void VCButton::Press()
{
    values::ValueSelection* selection = m_pValueSelection;
    if (!selection || selection->GetItemCount() == 0)
        return;
    if (selection->GetCurrentIndex() < 0)
        selection->SelectIndex(0);
    else
        selection->NotifyObservers(CC_Changed);
}

void VCButton::Refresh() { }

void VCButton::release()
{
    if (m_pValueSelection)
        m_pValueSelection->DeleteObserver(this);
    m_pValueSelection = nullptr;
}
