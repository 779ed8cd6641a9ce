#include "toolkit/Object.h"

#include <gtest/gtest.h>

#include <set>

namespace {

std::multiset<int> g_destroyed;

class Node : public QEL::Object {
public:
    Node(int id, QEL::Object* parent = nullptr) : Object(parent), id(id) {}
    ~Node() override { g_destroyed.insert(id); }
    int id;
};

class ObjectTree : public ::testing::Test {
protected:
    void SetUp() override { g_destroyed.clear(); }
};

TEST_F(ObjectTree, DestroyingAnObjectDestroysItsWholeSubtree)
{
    auto* root = new Node(1);
    auto* a = new Node(2, root);
    new Node(3, root);
    new Node(4, a);
    new Node(5, a);
    EXPECT_EQ(2u, root->children().size());
    delete root;
    EXPECT_EQ((std::multiset<int>{1, 2, 3, 4, 5}), g_destroyed);
}

TEST_F(ObjectTree, ChildDestroyedAloneLeavesItsParent)
{
    Node root(1);
    auto* child = new Node(2, &root);
    auto* sibling = new Node(3, &root);
    delete child;
    ASSERT_EQ(1u, root.children().size());
    EXPECT_EQ(sibling, *root.children().begin());
    EXPECT_EQ(1u, g_destroyed.count(2));
}

TEST_F(ObjectTree, SetParentMovesAndKeepsTheInvariant)
{
    Node first(1);
    Node second(2);
    auto* child = new Node(3, &first);
    child->setParent(&second);
    EXPECT_EQ(&second, child->parent());
    EXPECT_TRUE(first.children().empty());
    EXPECT_EQ(1u, second.children().count(child));

    child->setParent(&second);  // same parent: nothing changes
    EXPECT_EQ(1u, second.children().size());

    child->setParent(child);  // its own parent: detached, a root
    EXPECT_EQ(nullptr, child->parent());
    EXPECT_TRUE(second.children().empty());

    child->setParent(nullptr);  // null on a root: nothing changes
    EXPECT_EQ(nullptr, child->parent());
    delete child;
    EXPECT_EQ(1u, g_destroyed.count(3));
}

} // namespace
