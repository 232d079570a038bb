// zelxml: check, show, format, query, edit and measure XML documents.
#include "cli.hpp"

#include <cstdio>
#include <cstring>

namespace zelxml {
namespace {

struct Command {
    const char* name;
    int (*run)(const Args&);
    const char* usage;
    const char* help;
};

const char kPathHelp[] =
    "PATH is a subset of XPath, from the document:\n"
    "  /config/server/port            absolute; config/server/port is the same\n"
    "  config/server[2]/host          [N]: the N-th server under each parent, from 1\n"
    "  config/server[@name='backup']  [@attr='v'], [@attr]: tests on attributes\n"
    "  config/server[host='a.org']    [child='v']: a child element with that text\n"
    "  //port                         // reaches descendants at any depth\n"
    "  config/*/@name                 * is any element; a final @attr or text()\n"
    "An element's value is all text below it in document order, blank text, CDATA and entity text\n"
    "included; text() gives each run of text between other markup. Elements that come from an\n"
    "entity's text are not reached by paths.";

const char kKeptHelp[] =
    "The output keeps everything the input holds: the XML declaration, comments, processing\n"
    "instructions, the DOCTYPE, CDATA sections, entity references, attribute order, line ends and\n"
    "the encoding. set and delete rewrite only what they change; fmt re-indents element-only\n"
    "content. A reference to an entity that only a DTD not read declares (a remote one) is kept\n"
    "as written; --encoding, which writes all text anew, would lose it, so that needs --force.";

const Command kCommands[] = {
    {"check", cmd_check, "check [--valid] [--quiet] [--progress] FILE...",
     "Checks that each FILE (- for standard input) is well-formed. Prints one line per problem,\n"
     "FILE:LINE:COLUMN: warning|error|fatal error: MESSAGE. --valid also checks validity against\n"
     "the document's DTD and shows its errors; without it they are not shown. --quiet drops\n"
     "warnings. Exit 0 when no file fails, 1 otherwise, 3 when a file cannot be read."},
    {"show", cmd_show, "show [--progress] FILE",
     "Prints the record tree as an indented outline: elements with their attributes in document\n"
     "order, text records quoted and cut after 60 bytes (blank ones left out), and #doctype,\n"
     "#comment, #pi, #cdata and &entity; records."},
    {"fmt", cmd_fmt, "fmt FILE [-o OUT] [--encoding ENC] [--quiet] [--force]",
     "Reads FILE and writes it back indented to OUT, or to standard output, in the document's own\n"
     "encoding unless --encoding names another."},
    {"get", cmd_get, "get [--quiet] FILE PATH",
     "Prints the value of everything PATH selects, one per line. Exit 1 when nothing matches.\n"
     "Warns when values lack the text of an entity that was not read."},
    {"set", cmd_set, "set FILE PATH VALUE [-o OUT] [--encoding ENC] [--quiet] [--force]",
     "Sets the value of everything PATH selects: an element's text (elements holding elements\n"
     "are refused), or an attribute. Missing steps at the end of a path without //, * or tests\n"
     "are created, each new element on a line of its own. Writes to OUT, or back to FILE (keeping\n"
     "its mode, owner and links); only the lines with what changed differ."},
    {"delete", cmd_delete, "delete FILE PATH [-o OUT] [--encoding ENC] [--quiet] [--force]",
     "Removes every element or attribute (or text, for text()) PATH selects and writes to OUT,\n"
     "or back to FILE; an element alone on its line takes the line along. Exit 1 when nothing\n"
     "matches."},
    {"stats", cmd_stats, "stats [--progress] FILE",
     "Reads FILE and prints elements, text records (blank ones and CDATA included), other records\n"
     "(comments, processing instructions, entity references, the DOCTYPE), attributes, maximum\n"
     "depth, bytes, read time and throughput."},
};

void print_usage(FILE* to) {
    std::fprintf(to, "usage: zelxml COMMAND [ARGS]\n\ncommands:\n");
    for (const Command& c : kCommands) std::fprintf(to, "  zelxml %s\n", c.usage);
    std::fprintf(to, "\nFILE - reads standard input, in any encoding the parser detects.\n"
                     "%s\n\n%s\n\n"
                     "zelxml COMMAND --help describes one command; zelxml --version tells the versions.\n"
                     "Exit codes: 0 success, 1 document errors, 2 usage errors, 3 input/output errors.\n",
                 kPathHelp, kKeptHelp);
}

// Splits the words after the command into flags and positional words; false on a bad flag.
bool parse_args(int argc, char** argv, Args& args, std::string& problem) {
    for (int i = 2; i < argc; ++i) {
        std::string word = argv[i];
        auto value_of = [&](std::string& into) {
            if (i + 1 >= argc) return problem = word + " needs a value", false;
            into = argv[++i];
            return true;
        };
        if (word == "-o" || word == "--output") {
            if (!value_of(args.output)) return false;
        } else if (word == "--encoding") {
            if (!value_of(args.encoding)) return false;
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
        } else if (word.size() > 1 && word[0] == '-' && word != "-") {
            return problem = "unknown option " + word, false;
        } else {
            args.words.push_back(word);
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
        if (!parse_args(argc, argv, args, problem)) return fail(kUsage, problem + " (see zelxml " + c.name + " --help)");
        if (args.help) {
            bool paths = c.run == cmd_get || c.run == cmd_set || c.run == cmd_delete;
            bool writes = c.run == cmd_fmt || c.run == cmd_set || c.run == cmd_delete;
            std::printf("usage: zelxml %s\n\n%s\n", c.usage, c.help);
            if (paths) std::printf("\n%s\n", kPathHelp);
            if (writes) std::printf("\n%s\n", kKeptHelp);
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
