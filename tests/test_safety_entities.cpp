// Entity bombs end fast with the documented result in both readers: the expansion limit stops
// nested entities, the memory cap stops one big entity referenced many times. Each bomb runs
// in a child process, so its time and peak memory are its own.
#include "dom_helpers.hpp"
#include "sax_helpers.hpp"

#include <chrono>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
// The expansion limit stops a bomb within a second. Under the sanitizers each of its 50,000
// expansions maps and unmaps the entity reader's buffers, which costs up to 25 s on a virtual
// machine where page faults are dear; expanding a billion references would take days.
constexpr double kMaxSeconds = kSanitized ? 60.0 : 1.0;
// The memory cap stops one only after 256 MB of text is written into fresh pages, which
// costs up to 2 s of processor time (5x that sanitized); expanding the whole gigabyte takes
// over 7 s.
constexpr double kSlowdown = kSanitized ? 5.0 : 1.0;
constexpr double kMaxSecondsToTheCap = 4.0 * kSlowdown;
// The parser's cap and the records' cap (256 MB each) plus the test process itself.
constexpr long kMaxPeakKb = 700L * 1024;

class SafetyEntities : public ParserTest {};

std::string safety_data(const char* name) { return std::string(ZEL_TEST_DATA_DIR) + "/safety/" + name; }

// One read in a child process: its result, what it printed, the severities the error
// callback got, its time and the child's peak resident memory.
struct BombRun {
    ZEL_XML_RESULT result = -1;
    std::string messages;
    std::vector<int32_t> severities;
    double seconds = 0;      // wall time of the read
    double cpu_seconds = 0;  // the child's processor time, read included
    long peak_kb = 0;
};

enum class Reader { Dom, SaxFile, SaxMemory };

ZEL_XML_RESULT read_with(Reader reader, const std::string& path, const std::string& text, Recorder& recorder) {
    Root root = make_root();
    XMLParseCallbacks callbacks = recorder.callbacks();
    switch (reader) {
    case Reader::Dom:
        return XMLRead(path.c_str(), root.get(), nullptr);
    case Reader::SaxFile:
        return SAX_XMLRead(path.c_str(), root.get(), &callbacks, nullptr);
    case Reader::SaxMemory:
        return SAX_XMLMemRead(text.c_str(), root.get(), &callbacks, nullptr);
    }
    return -1;
}

// The child writes: result, seconds, number of severities, the severities, then the messages.
[[noreturn]] void run_child(int out, Reader reader, const std::string& path, const std::string& text) {
    Recorder recorder;
    ZEL_XML_RESULT result = -1;
    auto start = std::chrono::steady_clock::now();
    std::string messages = capture_stderr([&] { result = read_with(reader, path, text, recorder); });
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::FILE* stream = fdopen(out, "w");
    std::fprintf(stream, "%d %f %zu", result, seconds, recorder.diagnostics.size());
    for (int32_t severity : recorder.severities()) std::fprintf(stream, " %d", severity);
    std::fprintf(stream, "\n%s", messages.c_str());
    std::fclose(stream);
    _exit(0);
}

BombRun run_bomb(Reader reader, const std::string& path) {
    std::string text = reader == Reader::SaxMemory ? file_contents(path) : "";
    int pipe_fds[2];
    EXPECT_EQ(pipe(pipe_fds), 0);
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        ::close(pipe_fds[0]);
        run_child(pipe_fds[1], reader, path, text);
    }
    ::close(pipe_fds[1]);
    std::string report;
    char chunk[4096];
    for (ssize_t got; (got = ::read(pipe_fds[0], chunk, sizeof chunk)) > 0;) report.append(chunk, static_cast<std::size_t>(got));
    ::close(pipe_fds[0]);
    int status = 0;
    struct rusage usage {};
    wait4(child, &status, 0, &usage);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child crashed";

    BombRun run;
    run.peak_kb = usage.ru_maxrss;
    auto to_seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    run.cpu_seconds = to_seconds(usage.ru_utime) + to_seconds(usage.ru_stime);
    int consumed = 0;
    std::size_t count = 0;
    if (std::sscanf(report.c_str(), "%d %lf %zu%n", &run.result, &run.seconds, &count, &consumed) < 3) return run;
    const char* at = report.c_str() + consumed;
    for (std::size_t i = 0; i < count; ++i) {
        int severity = 0, used = 0;
        std::sscanf(at, " %d%n", &severity, &used);
        run.severities.push_back(severity);
        at += used;
    }
    run.messages = std::string(at + 1);
    return run;
}

void expect_fast_and_small(const BombRun& run, const std::string& what, double max_seconds = kMaxSeconds) {
    EXPECT_LT(run.cpu_seconds, max_seconds) << what;
    EXPECT_LT(run.peak_kb, kMaxPeakKb) << what;
    std::printf("%-45s %.3f s (processor %.3f s), peak %ld MB\n", what.c_str(), run.seconds, run.cpu_seconds,
                run.peak_kb / 1024);
}

// One entity of 100,000 characters referenced 10,000 times (a gigabyte of text from 150 KB),
// in element content or inside one attribute value.
std::string quadratic_blowup(bool in_attribute) {
    std::string refs;
    for (int i = 0; i < 10000; ++i) refs += "&e;";
    std::string doc = "<!DOCTYPE d [<!ENTITY e \"" + std::string(100000, 'x') + "\">]>\n";
    doc += in_attribute ? "<d a=\"" + refs + "\"/>\n" : "<d>" + refs + "</d>\n";
    return doc;
}

std::string dom_unexpected(const std::string& path) { return "\nUnexpected exception during parsing: " + path + "\n"; }

TEST_F(SafetyEntities, NestedEntitiesStopAtTheExpansionLimit) {
    for (const char* name : {"billion_laughs.xml", "billion_laughs_attribute.xml"}) {
        const std::string path = safety_data(name);
        BombRun dom = run_bomb(Reader::Dom, path);
        EXPECT_EQ(dom.result, ZEL_XML_ERROR) << name;
        EXPECT_NE(dom.messages.find("\nFatal Error at file " + path + ", line "), std::string::npos) << dom.messages;
        EXPECT_NE(dom.messages.find("more than '50000' entity expansions"), std::string::npos) << dom.messages;
        EXPECT_NE(dom.messages.find("\nErrors occured, no output available\n"), std::string::npos) << dom.messages;
        expect_fast_and_small(dom, std::string("XMLRead ") + name);

        for (Reader reader : {Reader::SaxFile, Reader::SaxMemory}) {
            BombRun sax = run_bomb(reader, path);
            EXPECT_EQ(sax.result, ZEL_XML_ERROR) << name;
            // Validity errors (severity 5) come first: the document declares no elements.
            ASSERT_FALSE(sax.severities.empty()) << name;
            EXPECT_EQ(sax.severities.back(), 7) << name;
            EXPECT_EQ(sax.messages, "") << name;
            expect_fast_and_small(sax, std::string(reader == Reader::SaxFile ? "SAX_XMLRead " : "SAX_XMLMemRead ") + name);
        }
    }
}

TEST_F(SafetyEntities, OneEntityReferencedThousandsOfTimesHitsTheMemoryCap) {
    for (bool in_attribute : {false, true}) {
        ScratchFile file(quadratic_blowup(in_attribute));
        const std::string what = in_attribute ? "quadratic blow-up in an attribute" : "quadratic blow-up in content";

        // Not a parser library exception: the catch-all message and 4, nothing else printed.
        BombRun dom = run_bomb(Reader::Dom, file.path());
        EXPECT_EQ(dom.result, ZEL_XML_EXCEPTION) << what;
        EXPECT_EQ(dom.messages, dom_unexpected(file.path())) << what;
        expect_fast_and_small(dom, "XMLRead " + what, kMaxSecondsToTheCap);

        BombRun sax_file = run_bomb(Reader::SaxFile, file.path());
        EXPECT_EQ(sax_file.result, ZEL_XML_UNEXPECTED) << what;
        EXPECT_EQ(sax_file.messages, dom_unexpected(file.path())) << what;
        expect_fast_and_small(sax_file, "SAX_XMLRead " + what, kMaxSecondsToTheCap);

        BombRun sax_memory = run_bomb(Reader::SaxMemory, file.path());
        EXPECT_EQ(sax_memory.result, ZEL_XML_UNEXPECTED) << what;
        EXPECT_EQ(sax_memory.messages, "\nUnexpected exception during parsing: Memory Buffer\n") << what;
        expect_fast_and_small(sax_memory, "SAX_XMLMemRead " + what, kMaxSecondsToTheCap);
    }
}

// Entities used the ordinary way, well under both limits, read as before: two megabytes of
// text from one entity referenced 2,000 times.
TEST_F(SafetyEntities, OrdinaryEntitiesStillExpand) {
    std::string doc = "<!DOCTYPE d [<!ENTITY e \"" + std::string(1000, 'y') + "\">]>\n<d a=\"&e;\">";
    for (int i = 0; i < 2000; ++i) doc += "&e;";
    doc += "</d>\n";
    ScratchFile file(doc);
    {
        Root root = make_root();
        std::string messages = capture_stderr([&] { EXPECT_EQ(XMLRead(file.path(), root.get(), nullptr), ZEL_XML_OK); });
        ASSERT_EQ(root->children.count, 2000) << "one text record per reference";
        EXPECT_EQ(std::string(root->children.items[1999]->value), std::string(1000, 'y'));
        EXPECT_EQ(std::string(root->attributes.items[0].value), std::string(1000, 'y'));
        EXPECT_EQ(messages, "Total elements found = 1, Total Nodes found = 2001 \n");
    }
    for (bool from_file : {true, false}) {
        Root root = make_root();
        ZEL_XML_RESULT result = from_file ? SAX_XMLRead(file.path(), root.get(), nullptr, nullptr)
                                          : SAX_XMLMemRead(doc.c_str(), root.get(), nullptr, nullptr);
        EXPECT_EQ(result, ZEL_XML_OK);
        ASSERT_EQ(root->children.count, 1);
        EXPECT_EQ(std::string(root->children.items[0]->value).size(), 2000u * 1000u);
        EXPECT_EQ(std::string(root->attributes.items[0].value), std::string(1000, 'y'));
    }
}

}  // namespace
