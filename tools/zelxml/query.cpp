// XPath through the library, with the command line's namespaces and variables.
#include "query.hpp"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_map>

namespace zelxml {
namespace {

// The expression on one line, and under it a caret at byte `offset`, counted in characters so
// that it stands under the right one whatever UTF-8 comes before it.
std::string caret_lines(const std::string& expression, int32_t offset) {
    std::string shown = expression;
    for (char& c : shown)
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    std::size_t end = offset < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(offset), shown.size());
    std::size_t column = 0;
    for (std::size_t i = 0; i < end; ++i)
        if ((static_cast<unsigned char>(shown[i]) & 0xC0) != 0x80) ++column;
    return "  " + shown + "\n  " + std::string(column, ' ') + "^";
}

}  // namespace

Query::Query(const Args& args) {
    for (const auto& binding : args.namespaces) {
        namespaces_.push_back(binding.first.c_str());
        namespaces_.push_back(binding.second.c_str());
    }
    namespaces_.push_back(nullptr);
    for (const auto& variable : args.variables) {
        XMLPathVariable v{};
        v.name = variable.first.c_str();
        v.type = ZEL_XML_PATH_STRING;
        v.string = variable.second.c_str();
        variables_.push_back(v);
    }
    options_.namespaces = namespaces_.data();
    options_.variables = variables_.data();
    options_.variableCount = variables_.size();
}

int Query::check(const std::string& expression, int32_t* type) const {
    Tree empty;
    if (empty.root() == nullptr || XMLCreateDocumentNode("empty", empty.root()) == nullptr)
        return fail(kIoError, "out of memory");
    PathResult result;
    if (XMLEvaluatePath(empty.root(), expression.c_str(), &options_, result.get()) != ZEL_XML_OK) {
        if (result->errorOffset < 0) return fail(kIoError, XMLGetLastError());
        return fail(kUsage, std::string("bad XPATH: ") + XMLGetLastError() + "\n" +
                                caret_lines(expression, result->errorOffset));
    }
    if (type != nullptr) *type = result->type;
    return kOk;
}

int Query::evaluate(const XMLNode* context, const std::string& expression, PathResult& result) const {
    XMLFreePathResult(result.get());
    if (XMLEvaluatePath(context, expression.c_str(), &options_, result.get()) == ZEL_XML_OK) return kOk;
    if (result->errorOffset >= 0)
        return fail(kUsage, std::string("bad XPATH: ") + XMLGetLastError() + "\n" +
                                caret_lines(expression, result->errorOffset));
    return fail(kIoError, std::string("cannot evaluate ") + expression + ": " + XMLGetLastError());
}

std::string node_text(const XMLPathNode& node) {
    std::string text(64, '\0');
    std::size_t length = XMLGetPathNodeText(&node, &text[0], text.size() + 1);
    if (length > text.size()) {
        text.assign(length, '\0');
        XMLGetPathNodeText(&node, &text[0], text.size() + 1);
    }
    text.resize(length);
    return text;
}

namespace {

void print_line(std::string_view text, FILE* to) {
    std::fwrite(text.data(), 1, text.size(), to);
    std::fputc('\n', to);
}

bool has_value_below(const XMLPathNode& node) {
    return node.type == XML_ELEMENT_NODE || node.type == XML_DOCUMENT_NODE;
}

}  // namespace

// Each element (or the root) that no earlier node of the set holds is walked once, whole: its
// text is gathered in document order, every node of the set met on the way is marked, and the
// elements among them note where their text begins and ends in it. The marked nodes follow it
// in the set, so they are printed from the gathered text before the next walk.
void print_values(const XMLPathResult& result, FILE* to) {
    if (result.count == 1) {
        print_line(node_text(result.nodes[0]), to);
        return;
    }
    struct Seen {
        bool met = false;
        std::size_t begin = 0, end = 0;
    };
    std::unordered_map<const XMLNode*, Seen> seen;
    for (std::size_t i = 0; i < result.count; ++i) seen.emplace(result.nodes[i].node, Seen{});
    std::string text;
    struct Frame {
        const XMLNode* node;
        int32_t next;
    };
    std::vector<Frame> stack;
    auto open = [&](const XMLNode* node) {
        auto found = seen.find(node);
        if (found == seen.end()) return;
        found->second.met = true;
        found->second.begin = text.size();
    };
    for (std::size_t i = 0; i < result.count;) {
        if (!has_value_below(result.nodes[i])) {
            print_line(node_text(result.nodes[i++]), to);
            continue;
        }
        text.clear();
        stack.assign(1, Frame{result.nodes[i].node, 0});
        open(stack.back().node);
        while (!stack.empty()) {
            Frame& frame = stack.back();
            const XMLNode* child = XMLGetNthChildData(frame.node, frame.next++);
            if (child == nullptr) {
                auto found = seen.find(frame.node);
                if (found != seen.end()) found->second.end = text.size();
                stack.pop_back();
                continue;
            }
            // Text records, CDATA and unnamed elements; none beside the document element.
            const bool is_text = holds_text(child) || (child->type == XML_ELEMENT_NODE && child->name[0] == '\0');
            if (is_text && frame.node->type != XML_DOCUMENT_NODE) text += child->value;
            open(child);
            stack.push_back(Frame{child, 0});
        }
        for (; i < result.count && seen[result.nodes[i].node].met; ++i) {
            const XMLPathNode& node = result.nodes[i];
            const Seen& at = seen[node.node];
            if (has_value_below(node)) print_line(std::string_view(text).substr(at.begin, at.end - at.begin), to);
            else print_line(node_text(node), to);
        }
    }
}

const char* type_name(int32_t type) {
    switch (type) {
        case ZEL_XML_PATH_NODE_SET: return "nodes";
        case ZEL_XML_PATH_BOOLEAN: return "a boolean";
        case ZEL_XML_PATH_NUMBER: return "a number";
        case ZEL_XML_PATH_STRING: return "a string";
        default: return "nothing";
    }
}

}  // namespace zelxml
