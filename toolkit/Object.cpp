#include "toolkit/Object.h"

namespace QEL {

Object::Object(Object* parent) : parent_(parent)
{
    if (parent_)
        parent_->children_.insert(this);
}

Object::~Object()
{
    // Children leave their parent as they are destroyed; taking the set out first
    // means they find nothing to remove and the walk below is never disturbed.
    std::unordered_set<Object*> owned;
    owned.swap(children_);
    for (Object* child : owned) {
        if (child && child != this)
            delete child;
    }
    setParent(nullptr);
}

void Object::setParent(Object* newParent)
{
    if (newParent == parent_)
        return;
    if (parent_) {
        parent_->children_.erase(this);
        parent_ = nullptr;
    }
    if (newParent && newParent != this) {
        newParent->children_.insert(this);
        parent_ = newParent;
    }
}

} // namespace QEL
