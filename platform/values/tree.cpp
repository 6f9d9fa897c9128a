#include "tree.h"

#include <QStringList>

namespace values {

namespace {
bool g_treeGone = false;

// The common case, checked in one pass without building a new string: a leading '/', no
// trailing one and no "//".
bool isCanonical(const QString& path)
{
    const QChar* c = path.constData();
    const QChar* const end = c + path.size();
    if (c == end || *c != QLatin1Char('/') || end[-1] == QLatin1Char('/'))
        return false;
    for (++c; c != end; ++c) {
        if (*c == QLatin1Char('/') && c[-1] == QLatin1Char('/'))
            return false;
    }
    return true;
}
} // namespace

Tree* Tree::Instance()
{
    static Tree tree;
    return g_treeGone ? nullptr : &tree;
}

Tree::~Tree()
{
    g_treeGone = true;
    // At process exit the observers may be gone already, so the values end silently.
    const std::vector<ValueBase*> values = m_values.values();
    m_values.clear();
    for (ValueBase* value : values)
        delete value;
}

QString Tree::CanonicalPath(const QString& path)
{
    if (isCanonical(path))
        return path;
    const QStringList segments = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return segments.isEmpty() ? QString() : QLatin1Char('/') + segments.join(QLatin1Char('/'));
}

ValueBase* Tree::FindValue(const QString& path) const
{
    // Lookups run often, mostly with canonical paths of existing values: the index holds only
    // canonical paths, so a hit needs no look at the path's form, and only a miss is checked.
    if (ValueBase* value = m_values.find(path))
        return value;
    return isCanonical(path) ? nullptr : m_values.find(CanonicalPath(path));
}

bool Tree::AddValue(const QString& parentPath, ValueBase* value)
{
    if (!value || !value->GetPath().isEmpty())
        return false;
    const QString& name = value->GetName();
    if (name.isEmpty() || name.contains(QLatin1Char('/')))
        return false;
    const QString path = CanonicalPath(parentPath) + QLatin1Char('/') + name;
    if (!m_values.insert(path, value))
        return false;
    value->m_path = path;
    return true;
}

bool Tree::RemoveValue(const QString& path)
{
    ValueBase* value = m_values.take(CanonicalPath(path));
    if (!value)
        return false;
    value->m_path.clear();
    value->End();
    delete value;
    return true;
}

} // namespace values
