// Running out of memory: every construction and copy either succeeds whole or returns null
// with nothing attached and nothing leaked. malloc, calloc and realloc are replaced for the
// whole process so that the n-th allocation from now on can be made to fail.
#include "zel_xml3.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);
}

namespace {

long countdown = -1;    // -1: never fail; otherwise the allocations left before one fails
bool injected = false;  // set when the planned failure has happened
long live = 0;          // allocations made and not yet freed

bool should_fail() {
    if (countdown < 0) return false;
    if (countdown-- > 0) return false;
    injected = true;
    return true;
}

}  // namespace

extern "C" {
void* malloc(std::size_t size) {
    if (should_fail()) return nullptr;
    void* p = __libc_malloc(size);
    if (p) ++live;
    return p;
}
void* calloc(std::size_t n, std::size_t size) {
    if (should_fail()) return nullptr;
    void* p = __libc_calloc(n, size);
    if (p) ++live;
    return p;
}
void* realloc(void* old, std::size_t size) {
    if (should_fail()) return nullptr;
    void* p = __libc_realloc(old, size);
    if (p && !old) ++live;
    return p;
}
void free(void* p) {
    if (p) --live;
    __libc_free(p);
}
}

namespace {

// Runs `op` with the first, second, ... allocation failing until it succeeds without a
// failure. After each failed run the live allocation count must be back where it was.
template <typename Op>
int fail_each_allocation(Op op) {
    int failures = 0;
    for (long n = 0;; ++n) {
        long before = live;
        countdown = n;
        injected = false;
        bool succeeded = op();
        bool hit = injected;
        countdown = -1;
        if (!hit) {
            EXPECT_TRUE(succeeded) << "no injected failure, yet the operation failed";
            return failures;
        }
        ++failures;
        EXPECT_FALSE(succeeded) << "allocation " << n << " failed but the result claims success";
        EXPECT_EQ(live, before) << "allocation " << n << " failed and something leaked";
    }
}

XMLNode* sample() {
    XMLNode* root = XMLCreateRootNode();
    XMLCreateDocumentNode("root", root);
    for (int i = 0; i < 5; ++i) {
        XMLNode* e = XMLCreateElementNode("e", root);
        XMLCreateTextNode("some text", e);
        XMLCreateElementNode("leaf", XMLCreateElementNode("inner", e));
    }
    return root;
}

TEST(OutOfMemory, CopyFreesWhatItMadeAndReturnsNull) {
    XMLNode* root = sample();
    int failures = fail_each_allocation([&] {
        XMLNode* copy = XMLCopyNodeData(root);
        if (copy == nullptr) return false;
        XMLFreeRootNode(copy);
        return true;
    });
    EXPECT_GT(failures, 20);
    XMLFreeRootNode(root);
}

TEST(OutOfMemory, ConstructionAttachesNothingOnFailure) {
    XMLNode* root = sample();
    XMLNode* parent = XMLGetChildAt(root, 0);
    fail_each_allocation([&] {
        int32_t before = XMLGetChildrenCount(parent);
        XMLNode* e = XMLCreateElementNode("new", parent);
        EXPECT_EQ(XMLGetChildrenCount(parent), before + (e ? 1 : 0));
        return e != nullptr;
    });
    fail_each_allocation([&] {
        int32_t before = XMLGetChildrenCount(parent);
        XMLNode* t = XMLCreateTextNode("a longer text value", parent);
        EXPECT_EQ(XMLGetChildrenCount(parent), before + (t ? 1 : 0));
        return t != nullptr;
    });
    fail_each_allocation([&] {
        XMLNode* r = XMLCreateRootNode();
        XMLFreeRootNode(r);
        return r != nullptr;
    });
    XMLFreeRootNode(root);
}

TEST(OutOfMemory, KeyValuesChangeNothingOnFailure) {
    XMLNode* root = sample();
    XMLNode* parent = XMLGetChildAt(root, 0);
    EXPECT_GT(fail_each_allocation([&] {
        int32_t before = XMLGetChildrenCount(parent);
        XMLNode* key = XMLAddKeyNameValue(parent, "added", "a value");
        EXPECT_EQ(XMLGetChildrenCount(parent), before + (key ? 1 : 0));
        return key != nullptr;
    }), 0);
    EXPECT_GT(fail_each_allocation([&] {
        int32_t before = XMLGetChildrenCount(parent);
        XMLNode* key = XMLSetKeyNameValue(parent, "created", "a value");
        EXPECT_EQ(XMLGetChildrenCount(parent), before + (key ? 1 : 0));
        return key != nullptr;
    }), 0);
    EXPECT_GT(fail_each_allocation([&] {
        XMLNode* key = XMLSetKeyNameValue(parent, "added", "another value");
        if (key == nullptr) {
            EXPECT_STREQ(XMLGetChildWithKeyName(parent, "added")->value, "a value");
        }
        return key != nullptr;
    }), 0);
    EXPECT_GT(fail_each_allocation([&] {
        bool altered = XMLAlterValueOfNode(parent, "altered text") == 0;
        if (!altered) {
            EXPECT_STREQ(XMLGetChildAt(parent, 0)->value, "some text");
        }
        return altered;
    }), 0);
    XMLFreeRootNode(root);
}

TEST(OutOfMemory, AttributeSettersChangeNothingOnFailure) {
    XMLNode* root = sample();
    EXPECT_GT(fail_each_allocation([&] {
        int32_t before = root->attributes.count;
        bool set = XMLSetNodeDoubleAttribute(root, "width", 2.5);
        EXPECT_EQ(root->attributes.count, before + (set ? 1 : 0));
        return set;
    }), 0);
    EXPECT_GT(fail_each_allocation([&] {
        XMLAttr* attr = XMLFindAttrWithKeyName(root, "width");
        bool set = XMLSetStringAttribute(attr, "renamed", "text", 7);
        if (!set) {
            EXPECT_STREQ(attr->name, "width");
            EXPECT_STREQ(attr->value, "2.5");
            EXPECT_EQ(attr->type, XML_CDATA_SECTION_NODE);
        }
        return set;
    }), 0);
    XMLFreeRootNode(root);
}

TEST(OutOfMemory, ElementSettersChangeNothingOnFailure) {
    XMLNode* root = sample();
    EXPECT_GT(fail_each_allocation([&] {
        int32_t before = XMLGetChildrenCount(root);
        XMLNode* e = XMLSetNodeDoubleElement(root, "ratio", 0.75);
        EXPECT_EQ(XMLGetChildrenCount(root), before + (e ? 1 : 0));
        return e != nullptr;
    }), 0);
    XMLNode* unnamed = XMLCreateElementNode("", root);
    EXPECT_GT(fail_each_allocation([&] {
        XMLNode* e = XMLSetNodeStringElement(unnamed, "filled", "a value");
        if (e == nullptr) {
            EXPECT_STREQ(unnamed->name, "");
        }
        return e != nullptr;
    }), 0);
    XMLFreeRootNode(root);
}

}  // namespace

namespace {

// A record keeps its first child pointer beside itself; the second child moves the sequence
// into a block of its own. Running out of memory at that move keeps the first child.
TEST(OutOfMemory, SecondChildKeepsTheFirstWhenTheMoveFails) {
    fail_each_allocation([&] {
        XMLNode* root = XMLCreateRootNode();
        XMLNode* first = XMLCreateTextNode("first", root);
        XMLNode* second = first ? XMLCreateElementNode("second", root) : nullptr;
        bool whole = second != nullptr;
        if (first != nullptr) {
            EXPECT_EQ(XMLGetChildAt(root, 0), first);
            EXPECT_STREQ(XMLGetChildAt(root, 0)->value, "first");
            EXPECT_EQ(XMLGetChildrenCount(root), whole ? 2 : 1);
        }
        XMLFreeRootNode(root);
        return whole;
    });
}

}  // namespace
