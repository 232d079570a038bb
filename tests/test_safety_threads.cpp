// Reads on four threads at once, with both readers, each thread its own documents and trees.
// Built also with ThreadSanitizer in CI.
#include "dom_helpers.hpp"
#include "sax_helpers.hpp"

#include <atomic>
#include <thread>

namespace {

class SafetyThreads : public ParserTest {};

constexpr int kThreads = 4;
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr int kRounds = 10;
#else
constexpr int kRounds = 40;
#endif

// A document that differs per thread and round in names, attributes, text and shape.
std::string document_for(int thread, int round) {
    std::string t = std::to_string(thread);
    std::string doc = "<?xml version=\"1.0\"?>\n<t" + t + " round=\"" + std::to_string(round) + "\">\n";
    for (int i = 0; i <= thread + round % 3; ++i)
        doc += "  <item n=\"" + std::to_string(i) + "\">text " + t + "." + std::to_string(i) + " &amp; more</item>\n";
    return doc + "</t" + t + ">\n";
}

std::string expected_outline(int thread, int round) {
    std::string t = std::to_string(thread);
    std::string out = "t" + t + "[round=" + std::to_string(round) + ":3]{";
    for (int i = 0; i <= thread + round % 3; ++i)
        out += (i ? "," : "") + std::string("item[n=") + std::to_string(i) + ":3]{\"text " + t + "." +
               std::to_string(i) + " & more\"}";
    return out + "}";
}

// One round of one thread: the document through XMLRead, SAX_XMLRead, SAX_XMLMemRead and the
// wide reader, each tree compared with what the document holds. Returns the failures.
int read_all_ways(int thread, int round, const std::string& path) {
    const std::string doc = document_for(thread, round);
    const std::string want = expected_outline(thread, round);
    int failures = 0;
    auto check = [&](ZEL_XML_RESULT result, const Root& root) { failures += result != ZEL_XML_OK || outline(root.get()) != want; };

    std::ofstream(path, std::ios::binary) << doc;
    Root dom = make_root();
    int32_t count = 0;
    // XMLRead prints its summary line; stderr is shared, so it is not captured here.
    check(XMLRead(path.c_str(), dom.get(), &count), dom);
    failures += count != thread + round % 3 + 2;

    Root file = make_root();
    check(SAX_XMLRead(path.c_str(), file.get(), nullptr, nullptr), file);
    Root memory = make_root();
    check(SAX_XMLMemRead(doc.c_str(), memory.get(), nullptr, nullptr), memory);
    std::vector<uint16_t> units = to_wide(doc);
    Root wide = make_root();
    check(SAX_XMLMemWideCharRead(units.data(), wide.get(), nullptr, nullptr), wide);
    return failures;
}

TEST_F(SafetyThreads, FourThreadsReadDifferentDocumentsAtOnce) {
    std::vector<std::unique_ptr<ScratchFile>> files;
    for (int t = 0; t < kThreads; ++t) files.push_back(std::make_unique<ScratchFile>());
    std::atomic<int> failures{0};
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    std::string messages = capture_stderr([&] {
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                ++ready;
                while (ready < kThreads) std::this_thread::yield();  // start together
                for (int round = 0; round < kRounds; ++round) failures += read_all_ways(t, round, files[t]->path());
            });
        for (std::thread& thread : threads) thread.join();
    });
    EXPECT_EQ(failures, 0);
    // Only summary lines, whole: lines of different threads may interleave but not mix.
    std::istringstream lines(messages);
    int summaries = 0;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_EQ(line.rfind("Total elements found = ", 0), 0u) << line;
        ++summaries;
    }
    EXPECT_EQ(summaries, kThreads * kRounds);
}

}  // namespace
