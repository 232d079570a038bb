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

const Command kCommands[] = {
    {"check", cmd_check, "check [--progress] FILE...",
     "Checks that each FILE is well-formed (and valid where its DOCTYPE asks). Prints one line\n"
     "FILE:LINE:COLUMN: warning|error|fatal error per problem. Exit 0 when no file has an error\n"
     "or fatal error, 1 otherwise, 3 when a file cannot be read."},
    {"show", cmd_show, "show [--sax] [--progress] FILE",
     "Prints the record tree as an indented outline: elements with their attributes, text\n"
     "records quoted and shortened. --sax reads with the event-driven reader."},
    {"fmt", cmd_fmt, "fmt FILE [-o OUT] [--encoding ENC]",
     "Reads FILE and writes it back pretty-printed to OUT, or to standard output. The encoding\n"
     "defaults to UTF-8."},
    {"get", cmd_get, "get FILE PATH",
     "Prints the value at PATH: a slash path of element names from the document element,\n"
     "name[N] for the N-th (from 0) child of that name, and a final @attr for an attribute.\n"
     "An element's value is the text of its first text child. Exit 1 when PATH is not found."},
    {"set", cmd_set, "set FILE PATH VALUE [-o OUT] [--encoding ENC]",
     "Sets the value at PATH (see get) and writes the document to OUT, or back to FILE through\n"
     "a temporary file and a rename. Missing elements at the end of the path are created."},
    {"stats", cmd_stats, "stats [--progress] FILE",
     "Reads FILE with the event-driven reader and prints elements, text records, attributes,\n"
     "maximum depth, bytes, read time and throughput."},
};

void print_usage(FILE* to) {
    std::fprintf(to, "usage: zelxml COMMAND [ARGS]\n\ncommands:\n");
    for (const Command& c : kCommands) std::fprintf(to, "  zelxml %s\n", c.usage);
    std::fprintf(to, "\nzelxml COMMAND --help describes one command.\n"
                     "Exit codes: 0 success, 1 document errors, 2 usage errors, 3 input/output errors.\n");
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
            args.sax = true;
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

int fail(int code, const std::string& message) {
    std::fprintf(stderr, "zelxml: %s\n", message.c_str());
    return code;
}

}  // namespace zelxml

int main(int argc, char** argv) {
    using namespace zelxml;
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        print_usage(argc < 2 ? stderr : stdout);
        return argc < 2 ? kUsage : kOk;
    }
    for (const Command& c : kCommands) {
        if (std::strcmp(argv[1], c.name) != 0) continue;
        Args args;
        std::string problem;
        if (!parse_args(argc, argv, args, problem)) return fail(kUsage, problem + " (see zelxml " + c.name + " --help)");
        if (args.help) {
            std::printf("usage: zelxml %s\n\n%s\n", c.usage, c.help);
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
