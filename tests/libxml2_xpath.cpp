// libxml2's XPath behind the interface of libxml2_xpath.hpp.
#include "libxml2_xpath.hpp"

#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <algorithm>
#include <mutex>
#include <tuple>

namespace xpath_reference {

bool operator<(const NodeView& a, const NodeView& b) {
    return std::tie(a.ancestry, a.name, a.value, a.type) < std::tie(b.ancestry, b.name, b.value, b.type);
}

bool operator==(const NodeView& a, const NodeView& b) {
    return a.type == b.type && a.name == b.name && a.ancestry == b.ancestry && a.value == b.value;
}

void sort_namespace_nodes(std::vector<NodeView>& nodes) {
    auto first = std::stable_partition(nodes.begin(), nodes.end(), [](const NodeView& n) { return n.type != 13; });
    std::sort(first, nodes.end());
}

namespace {

const xmlChar* x(const char* text) { return reinterpret_cast<const xmlChar*>(text); }
std::string s(const xmlChar* text) { return text != nullptr ? reinterpret_cast<const char*>(text) : ""; }

std::string qualified(const xmlNs* ns, const xmlChar* name) {
    if (ns != nullptr && ns->prefix != nullptr) return s(ns->prefix) + ":" + s(name);
    return s(name);
}

NodeView view(xmlNodePtr node) {
    NodeView v;
    xmlNodePtr above = node->parent;
    switch (node->type) {
    case XML_ELEMENT_NODE: v.type = 0; v.name = qualified(node->ns, node->name); break;
    case XML_ATTRIBUTE_NODE: v.type = 2; v.name = qualified(node->ns, node->name); break;
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE: v.type = 1; break;
    case XML_PI_NODE: v.type = 6; v.name = s(node->name); break;
    case XML_COMMENT_NODE: v.type = 7; break;
    case XML_DOCUMENT_NODE: v.type = 11; above = nullptr; break;
    case XML_NAMESPACE_DECL: {
        // A namespace node in a result is a copy whose `next` is its element.
        const xmlNs* ns = reinterpret_cast<const xmlNs*>(node);
        v.type = 13;
        v.name = s(ns->prefix);
        above = reinterpret_cast<xmlNodePtr>(ns->next);
        break;
    }
    default: v.type = 100 + node->type; above = nullptr; break;
    }
    for (xmlNodePtr p = above; p != nullptr && p->type == XML_ELEMENT_NODE; p = p->parent)
        v.ancestry = "/" + qualified(p->ns, p->name) + v.ancestry;
    xmlChar* text = xmlXPathCastNodeToString(node);
    v.value = s(text);
    xmlFree(text);
    return v;
}

Outcome take(xmlXPathObjectPtr object) {
    Outcome out;
    switch (object->type) {
    case XPATH_NODESET:
        out.type = 1;
        if (object->nodesetval != nullptr) {
            xmlXPathNodeSetSort(object->nodesetval);
            for (int i = 0; i < object->nodesetval->nodeNr; ++i)
                out.nodes.push_back(view(object->nodesetval->nodeTab[i]));
        }
        sort_namespace_nodes(out.nodes);
        return out;
    case XPATH_BOOLEAN: out.type = 2; out.boolean = object->boolval != 0; break;
    case XPATH_NUMBER: out.type = 3; out.number = object->floatval; break;
    case XPATH_STRING: out.type = 4; break;
    default: out.type = 100 + object->type; return out;
    }
    xmlChar* text = xmlXPathCastToString(object);
    out.string = s(text);
    xmlFree(text);
    return out;
}

void silent(void*, xmlErrorPtr) {}
void silent_generic(void*, const char*, ...) {}

// The parser is started once, and its messages are dropped: some tests expect refusals.
void start_libxml2() {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetStructuredErrorFunc(nullptr, silent);
        xmlSetGenericErrorFunc(nullptr, silent_generic);
    });
}

} // namespace

struct Libxml2Document::State {
    xmlDocPtr doc = nullptr;
    xmlXPathContextPtr context = nullptr;
    ~State() {
        if (context != nullptr) xmlXPathFreeContext(context);
        if (doc != nullptr) xmlFreeDoc(doc);
    }
};

namespace {
const int kReadFlags = XML_PARSE_NOENT | XML_PARSE_NOCDATA | XML_PARSE_NONET;
}

Libxml2Document::Libxml2Document(std::unique_ptr<State> state) : state_(std::move(state)) {}
Libxml2Document::~Libxml2Document() = default;

std::unique_ptr<Libxml2Document> Libxml2Document::from_text(const std::string& text) {
    start_libxml2();
    auto state = std::make_unique<State>();
    state->doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), "embedded.xml", nullptr, kReadFlags);
    if (state->doc == nullptr || (state->context = xmlXPathNewContext(state->doc)) == nullptr) return nullptr;
    return std::unique_ptr<Libxml2Document>(new Libxml2Document(std::move(state)));
}

std::unique_ptr<Libxml2Document> Libxml2Document::from_file(const std::string& path) {
    start_libxml2();
    auto state = std::make_unique<State>();
    state->doc = xmlReadFile(path.c_str(), nullptr, kReadFlags);
    if (state->doc == nullptr || (state->context = xmlXPathNewContext(state->doc)) == nullptr) return nullptr;
    return std::unique_ptr<Libxml2Document>(new Libxml2Document(std::move(state)));
}

void Libxml2Document::bind_namespace(const char* prefix, const char* uri) {
    xmlXPathRegisterNs(state_->context, x(prefix), x(uri));
}
void Libxml2Document::bind_string(const char* name, const char* value) {
    xmlXPathRegisterVariable(state_->context, x(name), xmlXPathNewCString(value));
}
void Libxml2Document::bind_number(const char* name, double value) {
    xmlXPathRegisterVariable(state_->context, x(name), xmlXPathNewFloat(value));
}
void Libxml2Document::bind_boolean(const char* name, bool value) {
    xmlXPathRegisterVariable(state_->context, x(name), xmlXPathNewBoolean(value ? 1 : 0));
}
void Libxml2Document::bind_selection(const char* name, const char* expression) {
    state_->context->node = reinterpret_cast<xmlNodePtr>(state_->doc);
    xmlXPathObjectPtr nodes = xmlXPathEvalExpression(x(expression), state_->context);
    // The context owns the value from here on.
    xmlXPathRegisterVariable(state_->context, x(name), nodes != nullptr ? nodes : xmlXPathNewNodeSet(nullptr));
}

const void* Libxml2Document::find(const char* selection) {
    if (std::string(selection) == "/") return state_->doc;
    state_->context->node = reinterpret_cast<xmlNodePtr>(state_->doc);
    xmlXPathObjectPtr object = xmlXPathEvalExpression(x(selection), state_->context);
    const void* found = nullptr;
    if (object != nullptr && object->type == XPATH_NODESET && object->nodesetval != nullptr &&
        object->nodesetval->nodeNr == 1 && object->nodesetval->nodeTab[0]->type == XML_ELEMENT_NODE)
        found = object->nodesetval->nodeTab[0];
    xmlXPathFreeObject(object);
    return found;
}

Outcome Libxml2Document::evaluate(const void* context, const char* expression) {
    state_->context->node = static_cast<xmlNodePtr>(const_cast<void*>(context));
    state_->context->contextSize = 1;
    state_->context->proximityPosition = 1;
    xmlXPathObjectPtr object = xmlXPathEvalExpression(x(expression), state_->context);
    if (object == nullptr) {
        Outcome refused;
        refused.error = "libxml2 refused it";
        return refused;
    }
    Outcome out = take(object);
    xmlXPathFreeObject(object);
    return out;
}

} // namespace xpath_reference
