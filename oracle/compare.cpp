// XMLRead against the reference reader: both read the same file, their results, counts,
// messages and records are compared.
#include "dom_read.hpp"
#include "stderr_capture.hpp"

#include "tree/tree.hpp"

#include <string>
#include <utility>
#include <vector>

namespace oracle {

namespace {

void dump_value(std::string& out, const char* text) {
    std::string value(text);
    out += std::to_string(value.size()) + ":" + value;
}

void dump_one(std::string& out, const XMLNode* node, std::size_t depth) {
    out.append(depth, ' ');
    out += "<" + std::string(node->name) + "> type " + std::to_string(node->type) + " int " +
           std::to_string(node->intValue) + (node->docRef == nullptr ? "" : " docRef") + " value ";
    dump_value(out, node->value);
    for (int32_t i = 0; i < node->attributes.count; ++i) {
        const XMLAttr& attr = node->attributes.items[i];
        out += " [" + std::string(attr.name) + "/" + std::to_string(attr.type) + "=";
        dump_value(out, attr.value);
        out += "]";
    }
    out += " children " + std::to_string(node->children.count) + "\n";
}

// A root that already holds an attribute and a text record, as a caller may hand over.
void preset(XMLNode* root) {
    XMLCreateTextNode("held ", root);
    zel::tree::append_attribute(root, "held", 4, "yes", 3, XML_CDATA_SECTION_NODE);
}

}  // namespace

std::string dump_records(const XMLNode* root) {
    std::string out;
    std::vector<std::pair<const XMLNode*, std::size_t>> stack{{root, 0}};
    while (!stack.empty()) {
        auto [node, depth] = stack.back();
        stack.pop_back();
        dump_one(out, node, depth);
        for (int32_t i = node->children.count - 1; i >= 0; --i) stack.emplace_back(node->children.items[i], depth + 1);
    }
    return out;
}

ReadResult read_with(bool library, const char* path, bool with_preset) {
    ReadResult out;
    XMLNode* root = XMLCreateRootNode();
    if (with_preset) preset(root);
    {
        StderrCapture capture;
        out.result = library ? XMLRead(path, root, &out.count)
                             : dom_read(path, root, &out.count, &out.records_budget_ran_out);
        out.messages = capture.text();
    }
    out.records = dump_records(root);
    XMLFreeRootNode(root);
    return out;
}

std::string differences(const char* path, bool with_preset) {
    ReadResult mine = read_with(true, path, with_preset);
    ReadResult reference = read_with(false, path, with_preset);
    if (mine.result != reference.result)
        return "result " + std::to_string(mine.result) + " != " + std::to_string(reference.result);
    if (mine.count != reference.count)
        return "count " + std::to_string(mine.count) + " != " + std::to_string(reference.count);
    if (mine.messages != reference.messages) return "messages:\n" + mine.messages + "\n!=\n" + reference.messages;
    if (!reference.records_budget_ran_out && mine.records != reference.records)
        return "records:\n" + mine.records + "\n!=\n" + reference.records;
    return "";
}

}  // namespace oracle
