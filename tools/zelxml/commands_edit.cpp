// fmt, get, set, delete and edit: writing documents back, and reading or changing what an
// XPath selects.
#include "cli.hpp"
#include "editor.hpp"
#include "query.hpp"

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

// The entity references left without their text because it was not read (an external entity
// behind a remote or missing identifier), each name once, as "&name;".
std::string unexpanded_references(const XMLNode* document) {
    std::string names;
    std::unordered_set<std::string> seen;
    walk(document, [&](const XMLNode* node, int) {
        if (node->type != XML_ENTITY_REFERENCE_NODE || XMLGetChildrenCount(node) != 0) return;
        const std::string name = XMLGetNodeName(node);
        if (seen.insert(name).second) names += (names.empty() ? "&" : " &") + name + ";";
    });
    return names;
}

// Checks every edit, reads FILE once, applies the edits in order and writes the result once,
// to -o OUT or back to FILE.
int run_edits(const Args& args, const std::vector<EditOp>& edits) {
    Query query(args);
    for (const EditOp& edit : edits) {
        int code = Editor::check(edit, query);
        if (code != kOk) return code;
    }
    const std::string& file = args.words[0];
    Tree tree;
    ReadReport report;
    int code = read_document(file, tree, read_options(args), report);
    if (code != kOk) return code;
    Editor editor(tree.root(), query, shown_name(file));
    for (const EditOp& edit : edits) {
        code = editor.apply(edit);
        if (code != kOk) return code;
    }
    return write_back(args, tree.root(), report, file, 0);
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
    if (args.words.size() != 2) return fail(kUsage, "get needs FILE and XPATH (see zelxml get --help)");
    const std::string& file = args.words[0];
    const std::string& expression = args.words[1];
    Query query(args);
    int code = query.check(expression);
    if (code != kOk) return code;
    Tree tree;
    ReadReport report;
    code = read_document(file, tree, read_options(args), report);
    if (code != kOk) return code;
    // Only a text that was not read leaves a reference without children (an empty entity
    // does too, which is why the check waits for that).
    if (report.not_read && !args.quiet) {
        const std::string names = unexpanded_references(tree.root());
        if (!names.empty())
            std::fprintf(stderr, "zelxml: %s: warning: values lack the text of entities that was not read: %s\n",
                         shown_name(file).c_str(), names.c_str());
    }
    PathResult result;
    code = query.evaluate(tree.root(), expression, result);
    if (code != kOk) return code;
    if (!result.nodes()) {
        std::printf("%s\n", result->string);
        return kOk;
    }
    if (result->count == 0) return fail(kDocumentError, shown_name(file) + ": nothing matches " + expression);
    print_values(*result, stdout);
    return kOk;
}

int cmd_set(const Args& args) {
    if (args.words.size() != 3) return fail(kUsage, "set needs FILE, XPATH and VALUE (see zelxml set --help)");
    EditOp edit;
    edit.kind = EditOp::kSet;
    edit.path = args.words[1];
    edit.value = args.words[2];
    return run_edits(args, {edit});
}

int cmd_delete(const Args& args) {
    if (args.words.size() != 2) return fail(kUsage, "delete needs FILE and XPATH (see zelxml delete --help)");
    EditOp edit;
    edit.kind = EditOp::kDelete;
    edit.path = args.words[1];
    return run_edits(args, {edit});
}

int cmd_edit(const Args& args) {
    if (args.words.size() != 1) return fail(kUsage, "edit needs exactly one FILE (see zelxml edit --help)");
    if (args.edits.empty()) return fail(kUsage, "edit needs at least one edit (see zelxml edit --help)");
    return run_edits(args, args.edits);
}

}  // namespace zelxml
