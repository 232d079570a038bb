// libxml2's XPath, the reference that XMLEvaluatePath is compared with, behind an interface
// that needs neither library's header: both declare node types under the same names, so they
// cannot meet in one source file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace xpath_reference {

// One node as both sides describe it. `type` takes the XMLPathNode.type codes of zel_xml3.h:
// 0 element, 1 text, 2 attribute, 6 processing instruction, 7 comment, 11 root, 13 namespace.
struct NodeView {
    int32_t type = -1;
    std::string name;     // element, attribute: the qualified name; processing instruction: the
                          // target; namespace node: the prefix ("" for the default namespace)
    std::string ancestry; // the names of its element ancestors, outermost first: "/doc/list";
                          // an attribute's and a namespace node's include their element
    std::string value;    // the string value
};
bool operator<(const NodeView& a, const NodeView& b);
bool operator==(const NodeView& a, const NodeView& b);

// The value of an expression. `type` takes the ZEL_XML_PATH_* codes of zel_xml3.h: 1 node-set,
// 2 boolean, 3 number, 4 string; 0 when the expression was refused.
struct Outcome {
    int32_t type = 0;
    bool boolean = false;
    double number = 0;
    std::string string;          // a string result, or the string form of a boolean or number
    std::vector<NodeView> nodes; // in document order, then the namespace nodes sorted
    std::string error;
};

// Moves the namespace nodes after the others and sorts them: their order is the
// implementation's choice.
void sort_namespace_nodes(std::vector<NodeView>& nodes);

// A document read by libxml2 with entity references replaced by their text, CDATA sections
// merged into the text beside them and no network access.
class Libxml2Document {
public:
    static std::unique_ptr<Libxml2Document> from_text(const std::string& text);
    static std::unique_ptr<Libxml2Document> from_file(const std::string& path);
    ~Libxml2Document();
    Libxml2Document(const Libxml2Document&) = delete;
    Libxml2Document& operator=(const Libxml2Document&) = delete;

    void bind_namespace(const char* prefix, const char* uri);
    void bind_string(const char* name, const char* value);
    void bind_number(const char* name, double value);
    void bind_boolean(const char* name, bool value);
    // Binds the node-set `expression` selects from the root.
    void bind_selection(const char* name, const char* expression);

    // The root for "/", else the one element `selection` selects from the root; nullptr when
    // it selects anything else.
    const void* find(const char* selection);
    // `expression` with `context` (from find) as the context node, at position 1 of 1.
    Outcome evaluate(const void* context, const char* expression);

private:
    struct State;
    explicit Libxml2Document(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

} // namespace xpath_reference
