// The ownership tree every toolkit object belongs to: an object owns its children
// and destroys them with itself.
#pragma once

#include <unordered_set>

namespace QEL {

class Object {
public:
    explicit Object(Object* parent = nullptr);
    virtual ~Object() = 0;

    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    // Moves this object to another owner; null makes it a root. Asking an object
    // to own itself detaches it.
    void setParent(Object* newParent);

    Object* parent() const { return parent_; }
    const std::unordered_set<Object*>& children() const { return children_; }

private:
    std::unordered_set<Object*> children_;
    Object* parent_;
};

} // namespace QEL
