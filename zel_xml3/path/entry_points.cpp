// XMLEvaluatePath and friends: the per-thread cache of compiled expressions, the host's
// bindings, and the result handed back in malloc'd blocks.
#include "io/parser/last_error.hpp"
#include "path/evaluate.hpp"
#include "path/expression.hpp"
#include "path/number_text.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

using namespace zel::path;

namespace {

constexpr std::size_t kCachedExpressions = 16;

// The last expressions compiled on this thread, the most recently used first.
std::shared_ptr<const Compiled> compiled(const char* expression) {
    struct Entry {
        std::string text;
        std::shared_ptr<const Compiled> compiled;
    };
    thread_local std::vector<Entry> cache;
    for (std::size_t i = 0; i < cache.size(); ++i) {
        if (cache[i].text != expression) continue;
        std::rotate(cache.begin(), cache.begin() + static_cast<std::ptrdiff_t>(i),
                    cache.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        return cache.front().compiled;
    }
    auto fresh = compile(expression);
    if (cache.size() == kCachedExpressions) cache.pop_back();
    cache.insert(cache.begin(), Entry{expression, fresh});
    return fresh;
}

// The node a host's XMLPathNode stands for; false when it does not describe one of `top`'s tree.
bool node_from_host(const XMLPathNode& h, const XMLNode* top, Navigator& nav, Node& out) {
    if (h.node == nullptr) return false;
    const XMLNode* t = h.node;
    while (t->parent != nullptr) t = t->parent;
    if (t != top) return false;
    out = Node{h.node, nullptr, -1, kind_of(h.node)};
    const bool element = out.kind == Kind::Element && h.node->type == XML_ELEMENT_NODE;
    switch (h.type) {
        case XML_ELEMENT_NODE: return element && Navigator::is_node(h.node);
        case XML_PROCESSING_INSTRUCTION_NODE: return out.kind == Kind::PI && Navigator::is_node(h.node);
        case XML_COMMENT_NODE: return out.kind == Kind::Comment && Navigator::is_node(h.node);
        case XML_TEXT_NODE:
            if (out.kind != Kind::Text || !Navigator::is_node(h.node)) return false;
            out.rec = nav.run_start(h.node);  // any record of a run stands for the run
            return true;
        case XML_DOCUMENT_NODE: out.kind = Kind::Root; return h.node->parent == nullptr;
        case XML_ATTRIBUTE_NODE: {
            const XMLAttrList& list = h.node->attributes;
            if (!element || h.attribute < list.items || h.attribute >= list.items + list.count ||
                is_namespace_declaration(h.attribute->name))
                return false;
            out = Node{h.node, nullptr, static_cast<std::int32_t>(h.attribute - list.items), Kind::Attribute};
            return true;
        }
        case ZEL_XML_PATH_NAMESPACE_NODE:
            if (!element) return false;
            out.kind = Kind::Namespace;
            if (h.attribute == nullptr) return true;
            for (const XMLNode* e = h.node; e != nullptr; e = e->parent) {
                const XMLAttrList& list = e->attributes;
                if (h.attribute >= list.items && h.attribute < list.items + list.count) {
                    out.owner = e;
                    out.attr = static_cast<std::int32_t>(h.attribute - list.items);
                    return true;
                }
            }
            return false;
        default: return false;
    }
}

Bindings bindings_from(const XMLPathOptions* options, const XMLNode* top, Navigator& nav) {
    Bindings b;
    if (options == nullptr) return b;
    if (options->namespaces != nullptr)
        for (const char* const* p = options->namespaces; p[0] != nullptr; p += 2)
            b.namespaces.emplace_back(p[0], p[1] != nullptr ? p[1] : "");
    for (std::size_t i = 0; i < options->variableCount && options->variables != nullptr; ++i) {
        const XMLPathVariable& v = options->variables[i];
        if (v.name == nullptr) throw PathError("a variable without a name", 0);
        Value value;
        switch (v.type) {
            case ZEL_XML_PATH_BOOLEAN: value = Value::of(v.boolean != 0); break;
            case ZEL_XML_PATH_NUMBER: value = Value::of(v.number); break;
            case ZEL_XML_PATH_STRING: value = Value::of(std::string(v.string != nullptr ? v.string : "")); break;
            case ZEL_XML_PATH_NODE_SET:
                value.type = Type::NodeSet;
                for (std::size_t k = 0; k < v.count; ++k) {
                    Node n;
                    if (v.nodes == nullptr || !node_from_host(v.nodes[k], top, nav, n))
                        throw PathError("variable $" + std::string(v.name) + " holds a node not in the context's tree", 0);
                    value.nodes.push_back(n);
                }
                nav.sort_unique(value.nodes);
                break;
            default: throw PathError("variable $" + std::string(v.name) + " has an unknown type", 0);
        }
        b.variables.emplace_back(v.name, std::move(value));
    }
    return b;
}

// Every variable and prefix the expression names is bound, or the evaluation fails before it
// starts, at the first one that is not.
void check_bound(const Compiled& program, const Bindings& b) {
    for (const auto& [name, at] : program.variables) {
        bool bound = false;
        for (const auto& variable : b.variables) bound = bound || variable.first == name;
        if (!bound) throw PathError("undefined variable $" + name, at);
    }
    for (const auto& [prefix, at] : program.prefixes) {
        bool bound = false;
        for (const auto& ns : b.namespaces) bound = bound || ns.first == prefix;
        if (!bound) throw PathError("undefined namespace prefix '" + prefix + "'", at);
    }
}

XMLPathNode to_host(const Node& n) {
    XMLPathNode h{const_cast<XMLNode*>(n.rec), nullptr, 0};
    switch (n.kind) {
        case Kind::Root: h.type = XML_DOCUMENT_NODE; break;
        case Kind::Element: h.type = XML_ELEMENT_NODE; break;
        case Kind::Text: h.type = XML_TEXT_NODE; break;
        case Kind::Comment: h.type = XML_COMMENT_NODE; break;
        case Kind::PI: h.type = XML_PROCESSING_INSTRUCTION_NODE; break;
        case Kind::Attribute:
            h.type = XML_ATTRIBUTE_NODE;
            h.attribute = &n.rec->attributes.items[n.attr];
            break;
        case Kind::Namespace:
            h.type = ZEL_XML_PATH_NAMESPACE_NODE;
            if (n.owner != nullptr) h.attribute = &n.owner->attributes.items[n.attr];
            break;
    }
    return h;
}

char* copy_string(const std::string& s) {
    char* out = static_cast<char*>(std::malloc(s.size() + 1));
    if (out == nullptr) throw std::bad_alloc();
    std::memcpy(out, s.c_str(), s.size() + 1);
    return out;
}

void fill(XMLPathResult* result, Value& v, Evaluator& ev) {
    switch (v.type) {
        case Type::NodeSet:
            result->type = ZEL_XML_PATH_NODE_SET;
            if (!v.nodes.empty()) {
                result->nodes = static_cast<XMLPathNode*>(std::malloc(v.nodes.size() * sizeof(XMLPathNode)));
                if (result->nodes == nullptr) throw std::bad_alloc();
                for (std::size_t i = 0; i < v.nodes.size(); ++i) result->nodes[i] = to_host(v.nodes[i]);
                result->count = v.nodes.size();
            }
            return;
        case Type::Boolean: result->type = ZEL_XML_PATH_BOOLEAN; break;
        case Type::Number: result->type = ZEL_XML_PATH_NUMBER; break;
        case Type::String: result->type = ZEL_XML_PATH_STRING; break;
    }
    result->boolean = Evaluator::to_boolean(v) ? 1 : 0;
    result->number = ev.to_number(v);
    result->string = copy_string(ev.to_string(v));
}

size_t copy_out(const std::string& text, char* buffer, size_t size) {
    if (buffer != nullptr && size > 0) {
        const size_t n = text.size() < size ? text.size() : size - 1;
        std::memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
    }
    return text.size();
}

}  // namespace

extern "C" {

ZEL_XML_API void XMLFreePathResult(XMLPathResult* result) {
    if (result == nullptr) return;
    std::free(result->string);
    std::free(result->nodes);
    std::memset(result, 0, sizeof *result);
    result->errorOffset = -1;
}

ZEL_XML_API ZEL_XML_RESULT XMLEvaluatePath(const XMLNode* context, const char* expression,
                                           const XMLPathOptions* options, XMLPathResult* result) {
    if (result != nullptr) {
        std::memset(result, 0, sizeof *result);
        result->errorOffset = -1;
    }
    if (context == nullptr || expression == nullptr || result == nullptr) {
        zel::parser::set_last_error("XMLEvaluatePath: a NULL context, expression or result");
        return ZEL_XML_EXCEPTION;
    }
    try {
        Node start{context, nullptr, -1, kind_of(context)};
        if (!Navigator::is_node(context)) {
            zel::parser::set_last_error(
                "XMLEvaluatePath: the context is not a node of the path's tree (an entity reference, a DOCTYPE, "
                "a document record below the top, empty text or text beside the document element)");
            return ZEL_XML_EXCEPTION;
        }
        auto program = compiled(expression);
        Navigator nav;
        if (start.kind == Kind::Text) start.rec = nav.run_start(context);  // the run it belongs to
        const XMLNode* top = context;
        while (top->parent != nullptr) top = top->parent;
        Bindings bindings = bindings_from(options, top, nav);
        check_bound(*program, bindings);
        Evaluator ev(nav, bindings);
        Value v = ev.evaluate(program->top, Context{start, 1, 1});
        fill(result, v, ev);
        zel::parser::clear_last_error();
        return ZEL_XML_OK;
    } catch (const PathError& e) {
        XMLFreePathResult(result);
        result->errorOffset = static_cast<int32_t>(e.offset);
        zel::parser::set_last_error(std::string(e.what()) + " at offset " + std::to_string(e.offset));
    } catch (const std::bad_alloc&) {
        XMLFreePathResult(result);
        zel::parser::set_last_error("XMLEvaluatePath: out of memory");
    }
    return ZEL_XML_EXCEPTION;
}

ZEL_XML_API size_t XMLGetPathNodeText(const XMLPathNode* node, char* buffer, size_t bufferSize) {
    try {
        Node n;
        if (node == nullptr || node->node == nullptr) return copy_out({}, buffer, bufferSize);
        const XMLNode* top = node->node;
        while (top->parent != nullptr) top = top->parent;
        Navigator nav;
        if (!node_from_host(*node, top, nav, n)) return copy_out({}, buffer, bufferSize);
        return copy_out(nav.string_value(n), buffer, bufferSize);
    } catch (const std::bad_alloc&) {
        return copy_out({}, buffer, bufferSize);
    }
}

}  // extern "C"
