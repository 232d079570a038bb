// zelxml: check, show, format, query, edit and measure XML documents.
#include "cli.hpp"

#include <cstdio>
#include <cstring>
#include <utility>

namespace zelxml {
namespace {

struct Command {
    const char* name;
    int (*run)(const Args&);
    bool paths;   // takes XPath expressions: -N and --var, and the XPATH help
    bool writes;  // writes a document: the help on what is kept
    const char* usage;
    const char* help;
};

const char kPathHelp[] =
    "XPATH is an XPath 1.0 expression; its context node is the document (the root node):\n"
    "  /config/server[2]/port              the port of the second server (positions count from 1)\n"
    "  config/server/port                  the same steps, relative to the document\n"
    "  //server[@name='backup']/port       // reaches descendants; [...] tests each node\n"
    "  //user[not(@role)]                  users without a role attribute\n"
    "  //server[port > 8080]/@name         comparisons convert text to numbers\n"
    "  //host | //port                     a union, in document order\n"
    "  count(//user)                       a number: 2\n"
    "  sum(//price) div count(//price)     arithmetic: + - * div mod\n"
    "  string-length(//motd)               string functions: concat, substring, translate...\n"
    "  //port/ancestor::server/@name       every axis: ancestor::, following-sibling::, ...\n"
    "  //p:item  with -N p=urn:example     prefixed names match by namespace URI\n"
    "  //user[@role=$r]  with --var r=admin   $r is the string given with --var\n"
    "Nodes print one per line, in document order, each as its string value (an element's is all\n"
    "text below it); a number, string or boolean prints as XPath's string() gives it (2, 0.5, NaN,\n"
    "true). An unprefixed name matches only elements in no namespace: for elements under\n"
    "xmlns=\"URI\", bind a prefix with -N p=URI and write p:name.\n"
    "-N PREFIX=URI binds a prefix and --var NAME=VALUE a string variable; both repeat.";

const char kEditHelp[] =
    "EDIT is one of the following; they apply in the order given, each to the document as the\n"
    "ones before left it, and an edit that matches nothing stops the run before anything is written:\n"
    "  --set XPATH VALUE              sets each match: an element's text (an element holding\n"
    "                                 elements is refused), an attribute's value, the text of a text\n"
    "                                 node, comment or processing instruction\n"
    "  --delete XPATH                 removes each match: elements, attributes, text, comments,\n"
    "                                 processing instructions\n"
    "  --insert XPATH WHERE NAME [--text TEXT] [--attr NAME=VALUE]...\n"
    "                                 makes a new element NAME for each match, WHERE it\n"
    "  --rename XPATH NAME            renames each element, attribute (keeping its place) or\n"
    "                                 processing instruction\n"
    "  --move XPATH WHERE TARGET      moves each match, in document order, WHERE the first node\n"
    "                                 TARGET selects (taken before anything moves)\n"
    "WHERE is before, after, first (as the first child) or last (as the last child). Where the\n"
    "siblings stand one a line, what is inserted or moved gets a line of its own, and what is\n"
    "deleted or moved takes its line along.\n"
    "Example: zelxml edit conf.xml --set '//server[1]/port' 9090 --delete '//user[@role=\"guest\"]' \\\n"
    "           --insert /config/users last user --attr role=admin --text 'Alan Turing' \\\n"
    "           --move //motd first /config";

const char kKeptHelp[] =
    "The output keeps everything the input holds: the XML declaration, comments, processing\n"
    "instructions, the DOCTYPE, CDATA sections, entity references, attribute order, line ends and\n"
    "the encoding. set, delete and edit rewrite only what they change; fmt re-indents element-only\n"
    "content. A reference to an entity that only a DTD not read declares (a remote one) is kept\n"
    "as written; --encoding, which writes all text anew, would lose it, so that needs --force.";

const Command kCommands[] = {
    {"check", cmd_check, false, false, "check [--valid] [--quiet] [--progress] FILE...",
     "Checks that each FILE (- for standard input) is well-formed. Prints one line per problem,\n"
     "FILE:LINE:COLUMN: warning|error|fatal error: MESSAGE. --valid also checks validity against\n"
     "the document's DTD and shows its errors; without it they are not shown. --quiet drops\n"
     "warnings. Exit 0 when no file fails, 1 otherwise, 3 when a file cannot be read."},
    {"show", cmd_show, false, false, "show [--progress] FILE",
     "Prints the record tree as an indented outline: elements with their attributes in document\n"
     "order, text records quoted and cut after 60 bytes (blank ones left out), and #doctype,\n"
     "#comment, #pi, #cdata and &entity; records."},
    {"fmt", cmd_fmt, false, true, "fmt FILE [-o OUT] [--encoding ENC] [--quiet] [--force]",
     "Reads FILE and writes it back indented to OUT, or to standard output, in the document's own\n"
     "encoding unless --encoding names another."},
    {"get", cmd_get, true, false, "get [--quiet] [-N PREFIX=URI]... [--var NAME=VALUE]... FILE XPATH",
     "Evaluates XPATH and prints the result. Exit 1 when it selects no node, 2 when it is not\n"
     "XPath (the message points at the place). Warns when values lack the text of an entity that\n"
     "was not read."},
    {"set", cmd_set, true, true, "set FILE XPATH VALUE [-o OUT] [-N PREFIX=URI]... [--var NAME=VALUE]... [--encoding ENC]",
     "Sets everything XPATH selects to VALUE, as edit --set does. When it selects nothing and is a\n"
     "path of child steps, as /a/b/c or a/b/@x, the missing steps at the end are created, each new\n"
     "element on a line of its own. Writes to OUT, or back to FILE (keeping its mode, owner and\n"
     "links); only the lines with what changed differ. -- ends the options (for a VALUE such as -1)."},
    {"delete", cmd_delete, true, true, "delete FILE XPATH [-o OUT] [-N PREFIX=URI]... [--var NAME=VALUE]... [--encoding ENC]",
     "Removes everything XPATH selects, as edit --delete does, and writes to OUT, or back to FILE;\n"
     "an element alone on its line takes the line along. Exit 1 when nothing matches."},
    {"edit", cmd_edit, true, true, "edit FILE [-o OUT] [-N PREFIX=URI]... [--var NAME=VALUE]... EDIT...",
     "Reads FILE once, applies every EDIT in order and writes the result once, to OUT (- for\n"
     "standard output) or back to FILE; nothing is written when an edit fails."},
    {"stats", cmd_stats, false, false, "stats [--progress] FILE",
     "Reads FILE and prints elements, text records (blank ones and CDATA included), other records\n"
     "(comments, processing instructions, entity references, the DOCTYPE), attributes, maximum\n"
     "depth, bytes, read time and throughput."},
};

void print_usage(FILE* to) {
    std::fprintf(to, "usage: zelxml COMMAND [ARGS]\n\ncommands:\n");
    for (const Command& c : kCommands) std::fprintf(to, "  zelxml %s\n", c.usage);
    std::fprintf(to, "\nFILE - reads standard input, in any encoding the parser detects.\n"
                     "%s\n\n%s\n\n%s\n\n"
                     "zelxml COMMAND --help describes one command; zelxml --version tells the versions.\n"
                     "Exit codes: 0 success, 1 document errors, 2 usage errors, 3 input/output errors.\n",
                 kPathHelp, kEditHelp, kKeptHelp);
}

// "NAME=VALUE" split at the first '='; false when there is no '=' or no name.
bool split_binding(const std::string& text, std::pair<std::string, std::string>& into) {
    const std::size_t equals = text.find('=');
    if (equals == 0 || equals == std::string::npos) return false;
    into = {text.substr(0, equals), text.substr(equals + 1)};
    return true;
}

bool parse_where(const std::string& word, Where& where) {
    static const std::pair<const char*, Where> kWords[] = {
        {"before", Where::kBefore}, {"after", Where::kAfter}, {"first", Where::kFirst}, {"last", Where::kLast}};
    for (const auto& known : kWords)
        if (word == known.first) return where = known.second, true;
    return false;
}

// Splits the words after the command into flags, edits and positional words; false on a bad
// flag.
bool parse_args(int argc, char** argv, const Command& command, Args& args, std::string& problem) {
    const bool edits = command.run == cmd_edit;
    bool options = true;  // until "--"
    for (int i = 2; i < argc; ++i) {
        std::string word = argv[i];
        // The next `n` words, the values of `word`.
        auto values = [&](int n, std::vector<std::string>& into) {
            if (i + n >= argc) return problem = word + (n == 1 ? " needs a value" : " needs " + std::to_string(n) + " values"), false;
            for (int k = 0; k < n; ++k) into.push_back(argv[++i]);
            return true;
        };
        std::vector<std::string> v;
        std::pair<std::string, std::string> binding;
        if (!options || word == "-" || word.size() < 2 || word[0] != '-') {
            args.words.push_back(word);
        } else if (word == "--") {
            options = false;
        } else if (word == "-o" || word == "--output") {
            if (!values(1, v)) return false;
            args.output = v[0];
        } else if (word == "--encoding") {
            if (!values(1, v)) return false;
            args.encoding = v[0];
        } else if (command.paths && (word == "-N" || word == "--var")) {
            if (!values(1, v)) return false;
            if (!split_binding(v[0], binding))
                return problem = word + " takes " + (word == "-N" ? "PREFIX=URI" : "NAME=VALUE") + ", not '" + v[0] + "'",
                       false;
            (word == "-N" ? args.namespaces : args.variables).push_back(binding);
        } else if (edits && (word == "--set" || word == "--delete" || word == "--insert" || word == "--rename" ||
                             word == "--move")) {
            EditOp edit;
            edit.kind = word == "--set"      ? EditOp::kSet
                        : word == "--delete" ? EditOp::kDelete
                        : word == "--insert" ? EditOp::kInsert
                        : word == "--rename" ? EditOp::kRename
                                             : EditOp::kMove;
            const int n = edit.kind == EditOp::kDelete ? 1 : edit.kind == EditOp::kInsert || edit.kind == EditOp::kMove ? 3 : 2;
            if (!values(n, v)) return false;
            edit.path = v[0];
            if (n == 2) edit.value = v[1];
            if (n == 3 && !parse_where(v[1], edit.where))
                return problem = word + " takes before, after, first or last, not '" + v[1] + "'", false;
            if (n == 3) (edit.kind == EditOp::kInsert ? edit.value : edit.target) = v[2];
            args.edits.push_back(edit);
        } else if (edits && (word == "--text" || word == "--attr")) {
            if (args.edits.empty() || args.edits.back().kind != EditOp::kInsert)
                return problem = word + " belongs to an --insert", false;
            if (!values(1, v)) return false;
            EditOp& insert = args.edits.back();
            if (word == "--text") {
                insert.text = v[0];
            } else if (!split_binding(v[0], binding)) {
                return problem = "--attr takes NAME=VALUE, not '" + v[0] + "'", false;
            } else {
                insert.attributes.push_back(binding);
            }
        } else if (word == "--sax") {
            // The event-driven reader is the default now; the flag stays accepted.
        } else if (word == "--valid") {
            args.valid = true;
        } else if (word == "--quiet" || word == "-q") {
            args.quiet = true;
        } else if (word == "--force") {
            args.force = true;
        } else if (word == "--progress") {
            args.progress = true;
        } else if (word == "--help" || word == "-h") {
            args.help = true;
        } else {
            return problem = "unknown option " + word, false;
        }
    }
    return true;
}

}  // namespace

}  // namespace zelxml

int main(int argc, char** argv) {
    using namespace zelxml;
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        print_usage(argc < 2 ? stderr : stdout);
        return argc < 2 ? kUsage : kOk;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("zelxml %s\nzel_xml3 %s\nXerces-C %s\n", ZELXML_VERSION, XMLGetVersion(), XMLGetParserVersion());
        return kOk;
    }
    for (const Command& c : kCommands) {
        if (std::strcmp(argv[1], c.name) != 0) continue;
        Args args;
        std::string problem;
        if (!parse_args(argc, argv, c, args, problem))
            return fail(kUsage, problem + " (see zelxml " + c.name + " --help)");
        if (args.help) {
            std::printf("usage: zelxml %s\n\n%s\n", c.usage, c.help);
            if (c.run == cmd_edit) std::printf("\n%s\n", kEditHelp);
            if (c.paths) std::printf("\n%s\n", kPathHelp);
            if (c.writes) std::printf("\n%s\n", kKeptHelp);
            return kOk;
        }
        XMLInit();
        int code = c.run(args);
        XMLTerm();
        return code;
    }
    fail(kUsage, std::string("unknown command '") + argv[1] + "'");
    print_usage(stderr);
    return kUsage;
}
