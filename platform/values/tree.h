#pragma once

#include <values/pathindex.h>
#include <values/valuebase.h>

namespace values {

/// The one tree of named values of the process.
///
/// Paths: a value added under parent path P with name N lives at the canonical form of P + "/"
/// + N. The canonical form begins with "/", has no empty segment and no "/" at the end, so
/// "/Replay", "/Replay/" and "Replay" name the same parent, and "" is the root: a value named
/// "FileLoaded" added under "/Replay/" is found at "/Replay/FileLoaded", one added under ""
/// at "/FileLoaded". FindValue applies the same rule to the path it is given.
class VALUES_EXPORT Tree
{
public:
    /// The tree; null once it has been destroyed at process exit.
    static Tree* Instance();

    /// The value at `path`, or null.
    ValueBase* FindValue(const QString& path) const;
    /// The value at `path` when it is a T, else null.
    template <class T>
    T* Find(const QString& path) const
    {
        return dynamic_cast<T*>(FindValue(path));
    }

    /// Adds `value` under `parentPath`. True: the tree owns the value. False (the value stays
    /// the caller's): null value, an empty name or one holding "/", a value that is already in
    /// the tree, or a value of that path exists.
    bool AddValue(const QString& parentPath, ValueBase* value);

    /// Ends the value at `path` (state VS_Ending, CC_Ending to its observers), takes it out of
    /// the tree and deletes it. False when there is none.
    bool RemoveValue(const QString& path);

    int Count() const { return m_values.size(); }

    static QString CanonicalPath(const QString& path);

private:
    Tree() = default;
    ~Tree();
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;

    PathIndex m_values; // owns the values
};

} // namespace values
