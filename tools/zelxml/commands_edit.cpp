// fmt, get, set and delete: writing documents back, and reading or changing what a path selects.
#include "cli.hpp"
#include "path.hpp"

#include <cstdio>
#include <strings.h>
#include <unordered_set>

namespace zelxml {
namespace {

std::string shown_name(const std::string& file) { return file == "-" ? "<stdin>" : file; }

// The encoding the document declares, or UTF-8 when it declares none.
std::string declared_encoding(XMLNode* document) {
    const XMLAttr* encoding = XMLFindAttrWithKeyName(document, "encoding");
    return encoding != nullptr ? encoding->value : "UTF-8";
}

// Writes the tree to -o OUT, or to `fallback`. In the document's own encoding the library
// gives back what was not edited as it was read, references to entities no DTD it read
// declares included; in another it builds all text from the records, where such references
// have left no trace, so that waits for --force when a DTD or entity was not read.
int write_back(const Args& args, XMLNode* document, const ReadReport& report, const std::string& fallback,
               uint32_t flags) {
    if (report.not_read && !args.force && !args.encoding.empty() &&
        strcasecmp(args.encoding.c_str(), declared_encoding(document).c_str()) != 0)
        return fail(kDocumentError, shown_name(args.words[0]) +
                                        ": a DTD or entity it names was not read; in another encoding, references "
                                        "to the entities only that declares would be lost; --force writes anyway");
    return write_document(args.output.empty() ? fallback : args.output, args.encoding, flags, document);
}

int parse_path_argument(const std::string& text, Path& path) {
    std::string problem;
    if (!parse_path(text, path, problem)) return fail(kUsage, "bad PATH '" + text + "': " + problem);
    return kOk;
}

// A quick check that `text` is UTF-8, the only text the library writes (the writer itself
// refuses the rarer malformed forms this does not look for).
bool is_utf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        auto byte = static_cast<unsigned char>(text[i]);
        std::size_t extra = byte < 0x80 ? 0 : byte < 0xC2 ? 4 : byte < 0xE0 ? 1 : byte < 0xF0 ? 2 : byte < 0xF5 ? 3 : 4;
        if (extra == 4 || text.size() - i <= extra) return false;
        for (std::size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += extra + 1;
    }
    return true;
}

bool holds_elements(const XMLNode* element) {
    for (int32_t i = 0; i < element->children.count; ++i) {
        const XMLNode* child = element->children.items[i];
        if (is_element(child) || (child->type == XML_ENTITY_REFERENCE_NODE && has_element_below(child))) return true;
    }
    return false;
}

XMLNode* document_element(XMLNode* document) {
    for (int32_t i = 0; i < document->children.count; ++i)
        if (is_element(document->children.items[i])) return document->children.items[i];
    return nullptr;
}

// Blank text that holds a line break: the end of one line and the indentation of the next.
bool is_line_break(const XMLNode* node) {
    if (node->type != XML_TEXT_NODE || node->value == nullptr) return false;
    const std::string_view text = node->value;
    return text.find('\n') != std::string_view::npos && text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// Takes the child at `index` out of `parent` and frees it; the library hands it over to do so.
void remove_child(XMLNode* parent, int32_t index) {
    XMLNode* child = XMLGetNthChildData(parent, index);
    XML_RemoveNthChildData(parent, index);
    XMLFreeRootNode(child);
}

// Removes the selected elements in one walk from the document; a selected element inside
// another goes with it, and the walk never enters what it removes. Children go from the last
// to the first, which moves the fewest of the rest. An element alone on its line takes the
// line break and indentation before it along, so that no blank line stays.
std::size_t remove_elements(XMLNode* document, const std::vector<XMLNode*>& selected) {
    std::unordered_set<const XMLNode*> doomed(selected.begin(), selected.end());
    std::size_t removed = 0;
    std::vector<XMLNode*> stack{document};
    while (!stack.empty()) {
        XMLNode* node = stack.back();
        stack.pop_back();
        for (int32_t i = node->children.count - 1; i >= 0; --i) {
            XMLNode* child = node->children.items[i];
            if (!is_element(child)) continue;
            if (doomed.count(child) == 0) {
                stack.push_back(child);
                continue;
            }
            remove_child(node, i);
            ++removed;
            const bool line_ends_after = i == node->children.count || is_line_break(node->children.items[i]);
            if (i > 0 && line_ends_after && is_line_break(node->children.items[i - 1])) remove_child(node, --i);
        }
    }
    return removed;
}

std::size_t remove_text(XMLNode* element) {
    std::size_t removed = 0;
    for (int32_t i = element->children.count - 1; i >= 0; --i) {
        if (!is_text_child(element->children.items[i])) continue;
        remove_child(element, i);
        ++removed;
    }
    return removed;
}

// An element's text becomes `value`: its text, CDATA and entity references go (set refuses
// elements holding elements), one new text record holds the value after any comment left.
bool set_text(XMLNode* element, const std::string& value) {
    remove_text(element);
    return value.empty() || XMLCreateTextNode(value.c_str(), element) != nullptr;
}

// Appends a new element named `name` to `parent`. When the parent's content is laid out a
// child a line (a line break and indentation before its end tag), the new element gets a line
// of its own, indented as the element before it. NULL when memory runs out; throws the
// library's ZEL_XML_RESULT for a name it cannot make.
XMLNode* append_element(XMLNode* parent, const std::string& name) {
    const int32_t count = parent->children.count;
    if (count == 0 || !is_line_break(parent->children.items[count - 1]))
        return XMLCreateElementNode(name.c_str(), parent);
    const std::string closing = parent->children.items[count - 1]->value;
    std::string indent = closing + "  ";
    for (int32_t i = count - 1; i > 0; --i) {
        if (!is_element(parent->children.items[i])) continue;
        if (is_line_break(parent->children.items[i - 1])) indent = parent->children.items[i - 1]->value;
        break;
    }
    remove_child(parent, count - 1);
    if (XMLCreateTextNode(indent.c_str(), parent) == nullptr) return nullptr;
    XMLNode* element = XMLCreateElementNode(name.c_str(), parent);
    if (element == nullptr || XMLCreateTextNode(closing.c_str(), parent) == nullptr) return nullptr;
    return element;
}

// For set on a simple path that selects nothing: the steps missing at the end are made
// under every element the longest matching part selects.
int create_missing(XMLNode* document, const Path& path, std::vector<XMLNode*>& elements, const std::string& file) {
    std::size_t found = path.steps.size();
    std::vector<XMLNode*> at;
    while (found > 0 && (at = select_elements(document, path, found)).empty()) --found;
    if (found == 0) {
        const XMLNode* top = document_element(document);
        return fail(kDocumentError, file + ": the document element is '" + XMLGetNodeName(top) + "', not '" +
                                        path.steps[0].name + "'");
    }
    for (XMLNode* element : at) {
        for (std::size_t s = found; s < path.steps.size(); ++s) {
            const std::string& name = path.steps[s].name;
            try {
                element = s == found ? append_element(element, name) : XMLCreateElementNode(name.c_str(), element);
            } catch (ZEL_XML_RESULT) {
                return fail(kUsage, "cannot create an element named '" + name + "': new elements take names of at "
                                    "most 31 bytes");
            }
            if (element == nullptr) return fail(kIoError, "out of memory");
        }
        elements.push_back(element);
    }
    return kOk;
}

// The entity references left without their text because it was not read (an external entity
// behind a remote or missing identifier), each name once, as "&name;".
std::string unexpanded_references(const XMLNode* document) {
    std::string names;
    std::unordered_set<std::string> seen;
    walk(document, [&](const XMLNode* node, int) {
        if (node->type != XML_ENTITY_REFERENCE_NODE || node->children.count != 0) return;
        const std::string name = XMLGetNodeName(node);
        if (seen.insert(name).second) names += (names.empty() ? "&" : " &") + name + ";";
    });
    return names;
}

}  // namespace

int cmd_fmt(const Args& args) {
    if (args.words.size() != 1) return fail(kUsage, "fmt needs exactly one FILE (see zelxml fmt --help)");
    Tree tree;
    ReadReport report;
    int code = read_document(args.words[0], tree, read_options(args), report);
    if (code != kOk) return code;
    return write_back(args, tree.root(), report, "-", ZEL_XML_WRITE_INDENT);
}

int cmd_get(const Args& args) {
    if (args.words.size() != 2) return fail(kUsage, "get needs FILE and PATH (see zelxml get --help)");
    Path path;
    int code = parse_path_argument(args.words[1], path);
    if (code != kOk) return code;
    Tree tree;
    ReadReport report;
    code = read_document(args.words[0], tree, read_options(args), report);
    if (code != kOk) return code;
    // Only a text that was not read leaves a reference without children (an empty entity
    // does too, which is why the check waits for that).
    if (report.not_read && !args.quiet) {
        const std::string names = unexpanded_references(tree.root());
        if (!names.empty())
            std::fprintf(stderr, "zelxml: %s: warning: values lack the text of entities that was not read: %s\n",
                         shown_name(args.words[0]).c_str(), names.c_str());
    }
    std::size_t printed = 0;
    StringValues values(tree.root());
    for (XMLNode* element : select_elements(tree.root(), path, path.steps.size(), &values)) {
        if (path.target == Path::kAttribute) {
            if (const XMLAttr* attr = XMLFindAttrWithKeyName(element, path.attribute.c_str())) {
                std::printf("%s\n", attr->value);
                ++printed;
            }
        } else if (path.target == Path::kText) {
            // Adjacent text, CDATA and entity text make one text node, as in XPath.
            std::string run;
            bool in_run = false;
            for (int32_t i = 0; i <= element->children.count; ++i) {
                const XMLNode* child = i < element->children.count ? element->children.items[i] : nullptr;
                if (child != nullptr && is_text_child(child)) {
                    walk(child, [&](const XMLNode* node, int) {
                        if (holds_text(node)) run += node->value;
                    });
                    in_run = true;
                } else if (in_run) {
                    std::printf("%s\n", run.c_str());
                    ++printed;
                    run.clear();
                    in_run = false;
                }
            }
        } else {
            const std::string_view value = values.of(element);
            std::fwrite(value.data(), 1, value.size(), stdout);
            std::fputc('\n', stdout);
            ++printed;
        }
    }
    if (printed == 0) return fail(kDocumentError, shown_name(args.words[0]) + ": nothing matches " + args.words[1]);
    return kOk;
}

namespace {

// What set and delete start from: PATH parsed, FILE read, and the elements the path selects.
struct Edit {
    Path path;
    Tree tree;
    ReadReport report;
    std::vector<XMLNode*> elements;

    int open(const Args& args) {
        int code = parse_path_argument(args.words[1], path);
        if (code != kOk) return code;
        code = read_document(args.words[0], tree, read_options(args), report);
        if (code != kOk) return code;
        elements = select_elements(tree.root(), path, path.steps.size());
        return kOk;
    }
};

}  // namespace

int cmd_set(const Args& args) {
    if (args.words.size() != 3) return fail(kUsage, "set needs FILE, PATH and VALUE (see zelxml set --help)");
    const std::string& value = args.words[2];
    if (!is_utf8(value)) return fail(kUsage, "VALUE is not UTF-8 text");
    Edit edit;
    int code = edit.open(args);
    if (code != kOk) return code;
    const std::string& file = args.words[0];
    const Path& path = edit.path;
    std::vector<XMLNode*>& elements = edit.elements;
    XMLNode* document = edit.tree.root();
    if (path.target == Path::kAttribute) {
        std::vector<XMLNode*> holding;
        for (XMLNode* element : elements)
            if (XMLFindAttrWithKeyName(element, path.attribute.c_str()) != nullptr) holding.push_back(element);
        // No element has it yet: on a simple path, every selected element gains it.
        if (!holding.empty() || !path.simple()) elements.swap(holding);
    }
    if (elements.empty() && path.simple()) {
        code = create_missing(document, path, elements, file);
        if (code != kOk) return code;
    }
    if (elements.empty()) return fail(kDocumentError, file + ": nothing matches " + args.words[1]);
    if (path.target != Path::kAttribute) {
        for (const XMLNode* element : elements)
            if (holds_elements(element))
                return fail(kDocumentError,
                            file + ": " + XMLGetNodeName(element) + " holds elements; set changes only text");
    }
    for (XMLNode* element : elements) {
        bool done = path.target == Path::kAttribute
                        ? XMLSetNodeAttribute(element, path.attribute.c_str(), value.c_str()) == 1
                        : set_text(element, value);
        if (!done) return fail(kIoError, "out of memory");
    }
    return write_back(args, document, edit.report, file, 0);
}

int cmd_delete(const Args& args) {
    if (args.words.size() != 2) return fail(kUsage, "delete needs FILE and PATH (see zelxml delete --help)");
    Edit edit;
    int code = edit.open(args);
    if (code != kOk) return code;
    const std::string& file = args.words[0];
    const Path& path = edit.path;
    const std::vector<XMLNode*>& elements = edit.elements;
    XMLNode* document = edit.tree.root();
    std::size_t removed = 0;
    if (path.target == Path::kAttribute) {
        for (XMLNode* element : elements) removed += XMLRemoveAttrWithKeyName(element, path.attribute.c_str());
    } else if (path.target == Path::kText) {
        for (XMLNode* element : elements) removed += remove_text(element);
    } else {
        if (!elements.empty() && elements.front() == document_element(document))
            return fail(kDocumentError, file + ": the document element cannot be deleted");
        removed = remove_elements(document, elements);
    }
    if (removed == 0) return fail(kDocumentError, file + ": nothing matches " + args.words[1]);
    return write_back(args, document, edit.report, file, 0);
}

}  // namespace zelxml
