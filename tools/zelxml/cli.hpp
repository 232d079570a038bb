// zelxml: shared pieces of the command-line tool. The tool uses only the public header.
#pragma once

#include "zel_xml3.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace zelxml {

// Exit codes.
enum Exit { kOk = 0, kDocumentError = 1, kUsage = 2, kIoError = 3 };

// Where insert and move put what they place, relative to each match or the target.
enum class Where { kBefore, kAfter, kFirst, kLast };

// One edit of `zelxml edit` (set and delete make one of their own), as the command line gave it.
struct EditOp {
    enum Kind { kSet, kDelete, kInsert, kRename, kMove } kind = kSet;
    std::string path;    // the XPATH of what the edit changes
    std::string value;   // set: VALUE; rename: the new name; insert: the new element's name
    Where where = Where::kLast;  // insert, move
    std::string target;  // move: the XPATH of the place
    std::string text;            // insert: the new element's text, --text
    std::vector<std::pair<std::string, std::string>> attributes;  // insert: --attr NAME=VALUE, in order
};

// The arguments after the subcommand, split into flags and positional words.
struct Args {
    std::vector<std::string> words;
    std::vector<std::pair<std::string, std::string>> namespaces;  // -N PREFIX=URI, in order
    std::vector<std::pair<std::string, std::string>> variables;   // --var NAME=VALUE, in order
    std::vector<EditOp> edits;                                    // edit: the edits, in order
    std::string output;    // -o OUT
    std::string encoding;  // --encoding ENC
    bool progress = false; // --progress
    bool valid = false;    // --valid: check validity against the DTD too
    bool quiet = false;    // --quiet: no notes, no warnings
    bool force = false;    // --force: write in another encoding even when a DTD was not read
    bool help = false;     // --help / -h
};

// Prints "zelxml: <message>" on standard error and returns `code`.
int fail(int code, const std::string& message);
// Prints "note: <message>" unless `quiet`.
void note(bool quiet, const std::string& message);
// `message` about `name`, as "NAME: MESSAGE", unless it already starts that way.
std::string about(const std::string& name, const std::string& message);

// Owns a root record. A command that reads one document ends the process soon after, so a
// large tree (read_document says how many records it holds) is left to the operating system
// when it goes out of scope: freeing millions of records one by one costs a tenth of the run.
// It stays reachable from a static list, so leak checkers find no leak. `Tree::freed` frees
// it whatever its size, for commands that read many documents.
class Tree {
public:
    enum Lifetime { until_exit, freed };
    explicit Tree(Lifetime lifetime = until_exit) : root_(XMLCreateRootNode()), lifetime_(lifetime) {}
    ~Tree();
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;
    XMLNode* root() const { return root_; }
    void set_records(int32_t records) { records_ = records; }

private:
    XMLNode* root_;
    Lifetime lifetime_;
    int32_t records_ = 0;
};

// Visiting every record of a tree in document order without recursion: calls
// visit(node, depth) for every record below and including `root`, in pre-order; the root has
// depth 0.
template <typename Visit>
void walk(const XMLNode* root, Visit visit) {
    struct Frame {
        const XMLNode* node;
        int32_t next;
    };
    std::vector<Frame> stack{{root, 0}};
    visit(root, 0);
    while (!stack.empty()) {
        Frame& top = stack.back();
        const XMLNode* child = XMLGetNthChildData(top.node, top.next++);
        if (child == nullptr) {
            stack.pop_back();
            continue;
        }
        visit(child, static_cast<int>(stack.size()));
        stack.push_back(Frame{child, 0});
    }
}

// The kinds of record a document read whole holds (the document record on top).
// An element: type 0 with a name.
inline bool is_element(const XMLNode* node) {
    return node->type == XML_ELEMENT_NODE && node->name[0] != '\0';
}
// A record holding text of its own: text, blank or not, and CDATA sections.
inline bool holds_text(const XMLNode* node) {
    return node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE;
}
// Whether an element turns up anywhere below `node` (an entity reference's text may hold some).
inline bool has_element_below(const XMLNode* node) {
    bool found = false;
    walk(node, [&](const XMLNode* record, int depth) { found = found || (depth > 0 && is_element(record)); });
    return found;
}
// A child that is text in the document: text, CDATA, or an entity reference whose text holds
// no element.
inline bool is_text_child(const XMLNode* node) {
    return holds_text(node) || (node->type == XML_ENTITY_REFERENCE_NODE && !has_element_below(node));
}

// The longest prefix of `text` of at most `max_bytes` bytes that ends on a UTF-8 character
// boundary.
std::size_t utf8_cut(const char* text, std::size_t length, std::size_t max_bytes);

// How a read treats what the parser reports.
struct ReadOptions {
    bool progress = false;  // --progress given
    bool valid = false;     // validate against the DTD, show validity errors and fail on them
    bool quiet = false;     // drop warnings
    bool closing_line = true;  // say "FILE: not a well-formed document" when it is not
};
// The options every command's read takes from the command line: --progress and --quiet.
inline ReadOptions read_options(const Args& args) {
    ReadOptions options;
    options.progress = args.progress;
    options.quiet = args.quiet;
    return options;
}
// What a read found.
struct ReadReport {
    long long bytes = -1;     // input size; -1 when unknown (a pipe named on the command line)
    bool not_read = false;    // a DTD or external entity was not read (remote, or missing)
    bool failed = false;      // fatal errors, or validity errors with `valid`
};

// Reads FILE ("-": standard input, read whole first) into `tree` with everything the document
// holds, printing each problem as one line. Returns an exit code.
int read_document(const std::string& name, Tree& tree, const ReadOptions& options, ReadReport& report);

// Writes the tree to `target` ("-": standard output) in `encoding` ("": the document's own),
// with XMLWriteOptions `flags`; for a file, SIGINT and SIGTERM are held off meanwhile. Returns
// an exit code.
int write_document(const std::string& target, const std::string& encoding, uint32_t flags, const XMLNode* root);

// Progress bar on standard error, drawn only when wanted (--progress, or a long read on a
// terminal).
bool progress_wanted(bool forced, long long bytes);
XMLParseCallbacks progress_callbacks(bool draw);
void progress_finish(bool drew);
// Clears a drawn bar so that another line can be printed cleanly.
void progress_clear_line();

// Subcommands. Each returns an exit code.
int cmd_check(const Args& args);
int cmd_show(const Args& args);
int cmd_fmt(const Args& args);
int cmd_get(const Args& args);
int cmd_set(const Args& args);
int cmd_delete(const Args& args);
int cmd_edit(const Args& args);
int cmd_stats(const Args& args);

}  // namespace zelxml
