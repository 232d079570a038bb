// zelxml: shared pieces of the command-line tool. The tool uses only the public header.
#pragma once

#include "zel_xml3.h"

#include <cstdio>
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
    bool dom = false;      // --dom: show the document reader's view
    bool progress = false; // --progress
    bool valid = false;    // --valid: check validity against the DTD too
    bool quiet = false;    // --quiet: no notes, no warnings
    bool force = false;    // --force: write even when entity references would be lost
    bool help = false;     // --help / -h
};

// The user's standard error. The library's own lines go to file descriptor 2, which the
// tool points elsewhere during library calls, so everything the tool says goes here.
std::FILE* user_err();
// Prints "zelxml: <message>" on the user's standard error and returns `code`.
int fail(int code, const std::string& message);
// Prints "note: <message>" unless `quiet`.
void note(bool quiet, const std::string& message);

// Collects what the library writes to file descriptor 2 while it lives.
class Captured {
public:
    Captured();
    ~Captured();
    Captured(const Captured&) = delete;
    Captured& operator=(const Captured&) = delete;
    // Stops collecting and gives the text (at most 64 KB of it).
    std::string finish();
    // The last non-empty line of what was collected: the library's reason for a failure.
    static std::string last_line(const std::string& text);

private:
    int saved_ = -1;
    std::FILE* file_ = nullptr;
};

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

// The longest prefix of `text` of at most `max_bytes` bytes that ends on a UTF-8 character
// boundary.
std::size_t utf8_cut(const char* text, std::size_t length, std::size_t max_bytes);

// How a read treats what the parser reports.
struct ReadOptions {
    bool progress = false;  // --progress given
    bool valid = false;     // show validity errors and fail on them
    bool quiet = false;     // drop warnings
    bool closing_line = true;  // say "FILE: not a well-formed document" when it is not
    std::string* bytes = nullptr;  // when set, receives the input's bytes (for the notes)
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
    long long bytes = 0;         // input size
    bool remote_skipped = false; // a remote DTD or entity was not fetched
    bool failed = false;         // fatal errors, or validity errors with `valid`
};

// Reads FILE ("-": standard input; it and other inputs that are not regular files or block
// devices are read whole first) with the event-driven reader into `tree`,
// printing each problem as one line. Returns an exit code.
int read_document(const std::string& name, Tree& tree, const ReadOptions& options, ReadReport& report);
// Reads FILE with the document reader (files only). Returns an exit code.
int read_with_dom(const std::string& name, Tree& tree);

// Refuses an encoding the writer does not know, before anything is read. Returns an exit code.
int check_encoding(const std::string& encoding);
// Writes the tree to `target` ("-": standard output) through XMLWrite; for a file, SIGINT
// and SIGTERM are held off meanwhile. Returns an exit code.
int write_document(const std::string& target, const std::string& encoding, const XMLNode* root);
// What the output will not keep of the input, for the note of fmt, set and delete, and the
// refusal when entity references would be lost. Returns an exit code (kOk: go on writing).
int say_what_is_lost(const std::string& name, const std::string& bytes, const ReadReport& report, const Args& args);

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
int cmd_stats(const Args& args);

}  // namespace zelxml
