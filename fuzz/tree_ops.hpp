// The tree API driven by the input as a sequence of operations on a small tree, with the
// tree's invariants checked after each one; the tree so built is also written by both
// writers. Shared by the fuzz targets and the regression test.
#pragma once

#include "dom_write.hpp"
#include "fuzz_common.hpp"

namespace zelfuzz {
namespace ops {

// Reads the fuzz input piece by piece; past its end everything is zero.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool done() const { return pos_ >= size_; }
    uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    int32_t small() { return static_cast<int8_t>(byte()); }
    std::string text() {
        size_t len = byte() % 40;
        std::string s;
        for (size_t i = 0; i < len && pos_ < size_; ++i) s += static_cast<char>(data_[pos_++] | 1);
        return s;  // no embedded NUL: every byte is made odd
    }
    double number() {
        double d = 0;
        for (size_t i = 0; i < sizeof d; ++i) reinterpret_cast<uint8_t*>(&d)[i] = byte();
        return d;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// Every record of the tree, in pre-order, so an operation can pick one by number.
inline std::vector<XMLNode*> records(XMLNode* root) {
    std::vector<XMLNode*> all, stack{root};
    while (!stack.empty()) {
        XMLNode* n = stack.back();
        stack.pop_back();
        all.push_back(n);
        for (int32_t i = n->children.count - 1; i >= 0; --i) stack.push_back(n->children.items[i]);
    }
    return all;
}

inline void apply(Reader& in, XMLNode* root) {
    std::vector<XMLNode*> all = records(root);
    XMLNode* node = all[in.byte() % all.size()];
    std::string name = in.text();
    std::string value = in.text();
    char buffer[64];
    uint8_t found = 0;
    try {
        switch (in.byte() % 20) {
            case 0: XMLCreateElementNode(name.c_str(), node); break;
            case 1: XMLCreateTextNode(value.c_str(), node); break;
            case 2: XMLFreeRootNode(XMLCopyNodeData(node)); break;
            case 3: {
                int32_t index = in.small();
                XMLNode* child = XMLGetNthChildData(node, index);
                require(XML_RemoveNthChildData(node, index) == 0);
                XMLFreeRootNode(child);  // the host owns a removed child
                break;
            }
            case 4: XMLSetNodeIntegerAttribute(node, name.c_str(), in.small()); break;
            case 5: XMLSetNodeDoubleAttribute(node, name.c_str(), in.number()); break;
            case 6: XMLSetNodeStringAttribute(node, name.c_str(), value.c_str()); break;
            case 7: XMLSetNodeBoolAttribute(node, name.c_str(), in.byte()); break;
            case 8: {
                XMLAttr* attr = XMLFindAttrWithKeyName(node, name.c_str());
                if (attr != nullptr) XMLSetDoubleAttribute(attr, value.c_str(), in.number(), in.small());
                break;
            }
            case 9: XMLAddKeyNameValue(node, name.c_str(), value.c_str()); break;
            case 10: XMLSetKeyNameValue(node, name.c_str(), in.byte() & 1 ? value.c_str() : nullptr); break;
            case 11: XMLGetValueOfNode(node, in.small() % static_cast<int32_t>(sizeof buffer + 1), buffer); break;
            case 12: XMLAlterValueOfNode(node, value.c_str()); break;
            case 13: XMLGetNodeData(root, name.c_str(), &found); break;
            case 14: XMLSetNodeStringElement(node, name.c_str(), value.c_str()); break;
            case 15: XMLSetNodeDoubleElement(node, name.c_str(), in.number()); break;
            case 16: {
                int32_t v = in.small();
                XMLSetNodeIntegerElement(node, name.c_str(), in.byte() & 1 ? &v : nullptr);
                break;
            }
            case 17: XMLAppendNodeStringElement(node, name.c_str(), value.c_str()); break;
            case 18: XMLGetNthChildWithKey(node, in.small(), name.c_str()); break;
            case 19: XMLCreateDocumentNode(name.c_str(), node); break;
        }
    } catch (ZEL_XML_RESULT code) {
        require(code == ZEL_XML_EXCEPTION && name.size() >= 32);
    }
    if (found) require(XMLGetNodeData(root, name.c_str(), nullptr) != nullptr);
}

}  // namespace ops

// The tree the operations in `data` build on an empty root, its invariants checked after
// each one. The caller frees it.
inline XMLNode* build_tree(const uint8_t* data, size_t size) {
    ops::Reader in(data, size);
    XMLNode* root = XMLCreateRootNode();
    for (int steps = 0; !in.done() && steps < 200; ++steps) {
        ops::apply(in, root);
        check_tree(root);
    }
    return root;
}

inline void run_tree_ops(const uint8_t* data, size_t size) {
    XMLNode* root = build_tree(data, size);
    XMLNode* copy = XMLCopyNodeData(root);
    require(copy != nullptr && same_tree(root, copy), "a copy holds the same records");
    XMLFreeRootNode(copy);
    // Any tree the API can build must be written or refused (4), never crash the writer. What
    // is written is not read back: the API accepts text XML cannot hold (control characters).
    if (root->name[0] != '\0') {
        start_once();
        static MemFile out;
        ZEL_XML_RESULT written = out.write_tree(root);
        require(written == ZEL_XML_OK || written == ZEL_XML_EXCEPTION, "writing gives 0 or 4");
    }
    XMLFreeRootNode(root);
}

// The tree the operations build, named "d" when they left the root unnamed, written by the
// library's writer and by the reference writer in three encodings: UTF-8 to every output
// (files, stream, none), US-ASCII (characters become references, and cannot be written in
// names) and UTF-16 (a byte-order mark, a transcoder) through the stream. Both must agree.
inline void run_write(const uint8_t* data, size_t size) {
    start_once();
    XMLNode* root = build_tree(data, size);
    if (root->name[0] == '\0') XMLCreateDocumentNode("d", root);
    std::string difference;
    for (const char* encoding : {"UTF-8", "US-ASCII", "UTF-16"}) {
        bool every_output = std::strcmp(encoding, "UTF-8") == 0;
        difference = every_output ? oracle::write_differences(root, encoding)
                                  : oracle::stream_differences(root, encoding);
        if (!difference.empty()) {
            std::fprintf(stderr, "in %s: %s\n", encoding, difference.c_str());
            break;
        }
    }
    XMLFreeRootNode(root);
    require(difference.empty(), "XMLWrite agrees with the reference writer");
}

}  // namespace zelfuzz
