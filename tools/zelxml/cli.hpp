// zelxml: shared pieces of the command-line tool. The tool uses only the public header.
#pragma once

#include "zel_xml3.h"

#include <string>
#include <vector>

namespace zelxml {

// Exit codes.
enum Exit { kOk = 0, kDocumentError = 1, kUsage = 2, kIoError = 3 };

// The arguments after the subcommand, split into flags and positional words.
struct Args {
    std::vector<std::string> words;
    std::string output;    // -o OUT
    std::string encoding;  // --encoding ENC
    bool sax = false;      // --sax
    bool progress = false; // --progress
    bool help = false;     // --help / -h
};

// Prints "zelxml: <message>" on standard error and returns `code`.
int fail(int code, const std::string& message);

// Owns a root record; frees it when it goes out of scope.
class Tree {
public:
    Tree() : root_(XMLCreateRootNode()) {}
    ~Tree() { XMLFreeRootNode(root_); }
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;
    XMLNode* root() const { return root_; }

private:
    XMLNode* root_;
};

// Input files. readable() says why a file cannot be read, or "" when it can.
std::string unreadable_reason(const std::string& path);
long long file_size(const std::string& path);

// Reads FILE with the document reader (or the event-driven one) into `tree`; returns an
// exit code and prints the reason on failure. `show_progress` draws the bar for --sax.
int read_document(const std::string& path, Tree& tree, bool sax, bool show_progress, int32_t* records);

// Writes the tree to `path` through a temporary file beside it and a rename, so the old file
// survives a failed write. Returns an exit code.
int write_document_atomically(const std::string& path, const std::string& encoding, const XMLNode* root);

// Progress bar on standard error, drawn only when wanted (a terminal, or --progress).
bool progress_wanted(bool forced);
XMLParseCallbacks progress_callbacks(bool draw);
void progress_finish(bool drew);
// Clears a drawn bar so that another line can be printed cleanly.
void progress_clear_line();

// A path into the document: element steps from the document element, and an optional
// final attribute. Parsing fails (false, with `problem`) on empty steps, bad indexes and
// names that no record can hold.
struct Step {
    std::string name;
    int32_t index = 0;
};
struct Path {
    std::vector<Step> steps;
    std::string attribute;  // empty: the path ends at an element
    bool has_attribute = false;
};
bool parse_path(const std::string& text, Path& path, std::string& problem);
// The element the steps lead to, or nullptr (with `problem`). With `create`, missing
// elements are appended where the index asks for the next one of that name.
XMLNode* resolve_path(XMLNode* root, const Path& path, bool create, std::string& problem);

// Subcommands. Each returns an exit code.
int cmd_check(const Args& args);
int cmd_show(const Args& args);
int cmd_fmt(const Args& args);
int cmd_get(const Args& args);
int cmd_set(const Args& args);
int cmd_stats(const Args& args);

}  // namespace zelxml
