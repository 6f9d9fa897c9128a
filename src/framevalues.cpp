#include "framevalues_p.h"

#include <tevbase/errorhandler.h>
#include <values/tree.h>

namespace FrameValues {

values::StringValue* findOrCreateStringValue(const QString& path, IObserver* observer)
{
    values::Tree* tree = values::Tree::Instance();
    values::StringValue* value = tree ? tree->Find<values::StringValue>(path) : nullptr;
    if (!value) {
        const int slash = path.lastIndexOf(QLatin1Char('/'));
        const QString name = slash < 0 ? path : path.mid(slash + 1);
        const QString parent = slash < 0 ? QString() : path.left(slash + 1);
        value = new values::StringValue;
        value->SetName(name, nullptr);
        if ((!tree || !tree->AddValue(parent, value))
            && ErrorHandler::Instance().IsSet(ErrorHandler::Traces)) {
            _Q_Trace(QStringLiteral("!!!!!!!MEMORY LEAK! The value with the path '%1' could not "
                                    "be created!!! A value of this name already exists for a "
                                    "different type!!!!!!!!")
                         .arg(path),
                QStringLiteral("valueframework\\valueclasses\\valueobservermacros"), 299);
        }
    }
    if (observer)
        value->AddObserver(observer);
    return value;
}

values::StringValue* findStringValue(
    const QString& path, values::StringValue* previous, IObserver* observer)
{
    if (previous && observer)
        previous->DeleteObserver(observer);
    values::Tree* tree = values::Tree::Instance();
    values::StringValue* value = tree ? tree->Find<values::StringValue>(path) : nullptr;
    if (value && observer)
        value->AddObserver(observer);
    return value;
}

} // namespace FrameValues
