#include "EmptyStateObject.h"

namespace ve {

EmptyStateObject::EmptyStateObject(QObject* parent)
    : StateObject(QString(), parent)
{ }

} // namespace ve
