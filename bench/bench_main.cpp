// Benchmarks: each library reader and the writer against bare Xerces-C on the same input,
// in the same process with the same allocator settings, printed as one table of ratios.
#include "bare.hpp"
#include "generate.hpp"
#include "measure.hpp"
#include "other_reader.hpp"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

using zelbench::Kind;

namespace {

struct Input {
    std::string label;  // e.g. records-1MB, or the path of an installed file
    std::string document;
    std::string path;   // the same bytes in a file
    bool generated = true;  // `path` was written here and is removed at the end
    std::string out() const { return "/tmp/zel_xml3_bench_" + std::to_string(getpid()) + ".out"; }
};

// The inputs to generate: all, or the one that ZEL_BENCH_INPUT names (run.sh runs each pair in
// a process of its own, so that no pair inherits another's heap).
bool wanted(const std::string& label) {
    const char* only = std::getenv("ZEL_BENCH_INPUT");
    return only == nullptr || label == only;
}

bool section(const char* name) {
    const char* sections = std::getenv("ZEL_BENCH_SECTIONS");
    return sections == nullptr || std::strstr(sections, name) != nullptr;
}

// A section that runs only when ZEL_BENCH_SECTIONS names it.
bool named_section(const char* name) {
    const char* sections = std::getenv("ZEL_BENCH_SECTIONS");
    return sections != nullptr && std::strstr(sections, name) != nullptr;
}

// ZEL_BENCH_INPUT may also name an existing file (an absolute path): it is read as it is.
bool installed_input(std::vector<Input>& inputs) {
    const char* only = std::getenv("ZEL_BENCH_INPUT");
    if (only == nullptr || only[0] != '/') return false;
    std::ifstream file(only, std::ios::binary);
    Input in;
    in.label = in.path = only;
    in.document.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    in.generated = false;
    if (file) inputs.push_back(std::move(in));
    return true;
}

std::vector<Input> make_inputs(const std::vector<std::size_t>& sizes_mb) {
    std::vector<Input> inputs;
    if (installed_input(inputs)) return inputs;
    for (Kind kind : {Kind::Records, Kind::Text}) {
        for (std::size_t mb : sizes_mb) {
            Input in;
            in.label = std::string(zelbench::kind_name(kind)) + "-" + std::to_string(mb) + "MB";
            if (!wanted(in.label)) continue;
            in.document = zelbench::generate(kind, mb << 20);
            in.path = "/tmp/zel_xml3_bench_" + in.label + ".xml";
            std::ofstream(in.path, std::ios::binary) << in.document;
            inputs.push_back(std::move(in));
        }
    }
    return inputs;
}

XMLNode* read_tree(const Input& in) {
    XMLNode* root = XMLCreateRootNode();
    SAX_XMLMemRead(in.document.c_str(), root, nullptr, nullptr);
    return root;
}

// Freeing the tree is timed on its own (XMLFreeRootNode/...), not as part of a read.
void free_untimed(benchmark::State& state, XMLNode* root) {
    state.PauseTiming();
    XMLFreeRootNode(root);
    state.ResumeTiming();
}

void set_bytes(benchmark::State& state, const Input& in) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(in.document.size()));
}

// XMLWrite in each encoding measured; the name is the benchmark's and the one-run operation's.
struct Writer {
    const char* op;
    const char* encoding;
};
const Writer kWriters[] = {{"XMLWrite", "UTF-8"}, {"XMLWrite_latin1", "ISO-8859-1"}, {"XMLWrite_utf16", "UTF-16"}};

// Every writer makes a new file at `out`: the previous iteration's file is removed outside the
// timing, since XMLWrite replaces an existing file through a synced temporary one and the
// other writers simply truncate it. A failed write ends the benchmark with an error.
template <typename Write>
void write_loop(benchmark::State& s, const std::string& out, Write write) {
    for (auto _ : s) {
        s.PauseTiming();
        std::remove(out.c_str());
        s.ResumeTiming();
        if (!write()) {
            s.SkipWithError("the write failed");
            break;
        }
    }
    std::remove(out.c_str());
}

void register_pairs(const Input& in) {
    using benchmark::RegisterBenchmark;
    const Input* p = &in;
    RegisterBenchmark(("bare_dom/" + in.label).c_str(), [p](benchmark::State& s) {
        for (auto _ : s) zelbench::bare_dom_parse(p->path);
        set_bytes(s, *p);
    })->Unit(benchmark::kMillisecond);
    RegisterBenchmark(("XMLRead/" + in.label).c_str(), [p](benchmark::State& s) {
        for (auto _ : s) {
            XMLNode* root = XMLCreateRootNode();
            XMLRead(p->path.c_str(), root, nullptr);
            free_untimed(s, root);
        }
        set_bytes(s, *p);
    })->Unit(benchmark::kMillisecond);
    RegisterBenchmark(("bare_sax/" + in.label).c_str(), [p](benchmark::State& s) {
        for (auto _ : s) zelbench::bare_sax_parse(p->document);
        set_bytes(s, *p);
    })->Unit(benchmark::kMillisecond);
    RegisterBenchmark(("SAX_XMLMemRead/" + in.label).c_str(), [p](benchmark::State& s) {
        for (auto _ : s) free_untimed(s, read_tree(*p));
        set_bytes(s, *p);
    })->Unit(benchmark::kMillisecond);
    RegisterBenchmark(("libxml2_tree/" + in.label).c_str(), [p](benchmark::State& s) {
        for (auto _ : s) zelbench::other_tree_parse(p->document);
        set_bytes(s, *p);
    })->Unit(benchmark::kMillisecond);
    RegisterBenchmark(("bare_write/" + in.label).c_str(), [p](benchmark::State& s) {
        XMLNode* root = read_tree(*p);
        std::string out = p->out();
        write_loop(s, out, [&] { zelbench::bare_write(root, out); return true; });
        XMLFreeRootNode(root);
        set_bytes(s, *p);
    })->Unit(benchmark::kMillisecond);
    RegisterBenchmark(("libxml2_save/" + in.label).c_str(), [p](benchmark::State& s) {
        void* doc = zelbench::other_tree_read(p->document);
        std::string out = p->out();
        write_loop(s, out, [&] { return doc != nullptr && zelbench::other_save(doc, out); });
        zelbench::other_tree_free(doc);
        set_bytes(s, *p);
    })->Unit(benchmark::kMillisecond);
    for (const Writer& w : kWriters) {
        RegisterBenchmark((std::string(w.op) + "/" + in.label).c_str(), [p, w](benchmark::State& s) {
            XMLNode* root = read_tree(*p);
            std::string out = p->out();
            write_loop(s, out, [&] { return XMLWrite(out.c_str(), w.encoding, root) == ZEL_XML_OK; });
            XMLFreeRootNode(root);
            set_bytes(s, *p);
        })->Unit(benchmark::kMillisecond);
    }
    RegisterBenchmark(("XMLFreeRootNode/" + in.label).c_str(), [p](benchmark::State& s) {
        for (auto _ : s) {
            s.PauseTiming();
            XMLNode* root = read_tree(*p);
            s.ResumeTiming();
            XMLFreeRootNode(root);
        }
        set_bytes(s, *p);
    })->Unit(benchmark::kMillisecond);
    RegisterBenchmark(("XMLCopyNodeData/" + in.label).c_str(), [p](benchmark::State& s) {
        XMLNode* root = read_tree(*p);
        for (auto _ : s) {
            XMLNode* copy = XMLCopyNodeData(root);
            s.PauseTiming();
            XMLFreeRootNode(copy);
            s.ResumeTiming();
        }
        XMLFreeRootNode(root);
        set_bytes(s, *p);
    })->Unit(benchmark::kMillisecond);
}

// Keeps every run's time per iteration, by benchmark name, for the summary table.
class Collector : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> ms;
    bool quiet = std::getenv("ZEL_BENCH_QUIET") != nullptr;
    bool ReportContext(const Context& context) override { return quiet || ConsoleReporter::ReportContext(context); }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration || r.aggregate_name == "median")
                ms[r.benchmark_name().substr(0, r.benchmark_name().find("_median"))] =
                    r.GetAdjustedRealTime() * (r.time_unit == benchmark::kMillisecond ? 1.0 : 1e-6);
        if (!quiet) ConsoleReporter::ReportRuns(runs);
    }
};

void print_table(const std::vector<Input>& inputs, const Collector& c) {
    struct Pair {
        const char* library;
        const char* bare;
        double target;
    };
    const Pair pairs[] = {{"XMLRead", "bare_dom", 1.25},
                          {"SAX_XMLMemRead", "bare_sax", 0},
                          {"SAX_XMLMemRead", "libxml2_tree", 1.0},
                          {"XMLWrite", "bare_write", 1.15},
                          {"XMLWrite", "libxml2_save", 0.5},
                          {"XMLWrite_latin1", "libxml2_save", 1.5},
                          {"XMLWrite_utf16", "libxml2_save", 1.5}};
    auto at = [&](const std::string& name) {
        auto it = c.ms.find(name);
        return it == c.ms.end() ? -1.0 : it->second;
    };
    if (std::getenv("ZEL_BENCH_NO_HEADER") == nullptr)
        std::printf("\n%-16s %-14s %-13s %10s %10s %7s %7s\n", "library", "versus", "input", "lib MB/s", "other MB/s",
                    "ratio", "target");
    for (const Input& in : inputs) {
        double mb = in.document.size() / 1e6;
        for (const Pair& p : pairs) {
            double lib = at(std::string(p.library) + "/" + in.label), bare = at(std::string(p.bare) + "/" + in.label);
            if (lib <= 0 || bare <= 0) continue;
            double target = p.target;
            if (target == 0) target = in.label.rfind("text", 0) == 0 ? 1.3 : 1.5;
            std::printf("%-16s %-14s %-13s %10.1f %10.1f %7.2f %7.2f%s\n", p.library, p.bare, in.label.c_str(),
                        mb / (lib / 1e3), mb / (bare / 1e3), lib / bare, target, lib / bare > target ? "  MISSED" : "");
        }
        double read = at("SAX_XMLMemRead/" + in.label);
        double freeing = at("XMLFreeRootNode/" + in.label), copy = at("XMLCopyNodeData/" + in.label);
        if (read <= 0 || freeing <= 0 || copy <= 0) continue;
        std::printf("%-16s %-14s %-13s %9.2fms  %5.1f%% of the SAX read time%s\n", "XMLFreeRootNode", "", in.label.c_str(),
                    freeing, 100 * freeing / read, freeing / read > 0.10 ? "  MISSED (target 10%)" : "");
        std::printf("%-16s %-14s %-13s %9.2fms\n", "XMLCopyNodeData", "", in.label.c_str(), copy);
    }
}

// Parse time against size for text-heavy documents: the bare DOM parser grows quadratically
// (each appended text piece makes the document search its large blocks); the library's reader
// builds records from the parser's events and stays linear.
void print_dom_curve() {
    std::printf("\nDOM parse of text-heavy documents (one run each):\n%8s %14s %14s\n", "size", "bare DOM MB/s",
                "XMLRead MB/s");
    for (std::size_t mb : {2, 4, 8, 16, 32}) {
        std::string doc = zelbench::generate(Kind::Text, mb << 20);
        std::string path = "/tmp/zel_xml3_bench_curve.xml";
        std::ofstream(path, std::ios::binary) << doc;
        auto seconds = [](auto work) {
            auto start = std::chrono::steady_clock::now();
            work();
            return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        };
        double bare = seconds([&] { zelbench::bare_dom_parse(path); });
        double lib = seconds([&] {
            XMLNode* root = XMLCreateRootNode();
            XMLRead(path.c_str(), root, nullptr);
            XMLFreeRootNode(root);
        });
        std::printf("%6zuMB %14.1f %14.1f\n", mb, doc.size() / 1e6 / bare, doc.size() / 1e6 / lib);
        std::remove(path.c_str());
    }
}

// The path both evaluators find: a predicate on every element of a kind, in both generated
// inputs' shapes (records have ids; text has paragraphs, where it selects nothing).
constexpr char kPredicatePath[] = "//record[@id='1000']/qty | //p[@id='x']";

// Runs one side of one pair once on `in`; instructions.sh counts what happens inside it with
// callgrind, which is repeatable where wall-clock time on a shared machine is not.
// The readers fill `fresh`, an empty root; freeing their records is measured on its own.
// The writers write `tree` (libxml2_save: `other`, that library's tree of the same input) to a
// new file. Returns false when a write fails or `op` is unknown.
extern "C" __attribute__((noinline)) bool zelbench_measured(const char* op, const Input& in, XMLNode* tree,
                                                            XMLNode* fresh, void* other) {
    std::string name = op;
    if (name == "XMLRead") {
        XMLRead(in.path.c_str(), fresh, nullptr);
    } else if (name == "bare_dom") {
        zelbench::bare_dom_parse(in.path);
    } else if (name == "SAX_XMLMemRead") {
        SAX_XMLMemRead(in.document.c_str(), fresh, nullptr, nullptr);
    } else if (name == "bare_sax") {
        zelbench::bare_sax_parse(in.document);
    } else if (name == "bare_write") {
        zelbench::bare_write(tree, in.out());
    } else if (name == "libxml2_save") {
        return other != nullptr && zelbench::other_save(other, in.out());
    } else if (name == "XMLFreeRootNode") {
        XMLFreeRootNode(tree);
    } else if (name == "XMLReadFile") {
        XMLReadOptions whole{ZEL_XML_KEEP_ALL, nullptr};
        return XMLReadFile(in.path.c_str(), fresh, &whole, nullptr) == ZEL_XML_OK;
    } else if (name == "XMLEvaluatePath") {
        XMLPathResult result;
        const bool ok = XMLEvaluatePath(tree, kPredicatePath, nullptr, &result) == ZEL_XML_OK;
        XMLFreePathResult(&result);
        return ok;
    } else if (name == "libxml2_xpath") {
        return other != nullptr && zelbench::other_xpath(other, kPredicatePath) >= 0;
    } else {
        for (const Writer& w : kWriters)
            if (name == w.op) return XMLWrite(in.out().c_str(), w.encoding, tree) == ZEL_XML_OK;
        return false;
    }
    return true;
}

int run_once(const char* op, const Input& in) {
    XMLNode* tree = read_tree(in);  // the tree the writers write, or the one freed
    XMLNode* fresh = XMLCreateRootNode();
    const bool other_side = std::string(op) == "libxml2_save" || std::string(op) == "libxml2_xpath";
    void* other = other_side ? zelbench::other_tree_read(in.document) : nullptr;
    std::remove(in.out().c_str());
    bool ok = zelbench_measured(op, in, tree, fresh, other);
    if (other_side) zelbench::other_tree_free(other);
    XMLFreeRootNode(fresh);
    if (std::string(op) != "XMLFreeRootNode") XMLFreeRootNode(tree);
    std::remove(in.out().c_str());
    if (!ok) std::printf("zelbench: %s failed or is unknown (input %s)\n", op, in.label.c_str());
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::size_t> sizes = {1, 32};
    if (const char* mb = std::getenv("ZEL_BENCH_MB")) sizes = {static_cast<std::size_t>(std::atoi(mb))};
    if (const char* quick = std::getenv("ZEL_BENCH_QUICK"); quick && *quick == '1') sizes = {1};
    XMLInit();
    zelbench::other_init();
    // The document reader prints a summary line per read; keep it out of the report.
    std::FILE* quiet = std::freopen("/dev/null", "w", stderr);
    std::vector<Input> inputs = make_inputs(sizes);
    if (const char* op = std::getenv("ZEL_BENCH_ONCE"); op != nullptr && !inputs.empty()) {
        int status = run_once(op, inputs.front());
        if (inputs.front().generated) std::remove(inputs.front().path.c_str());
        return status;
    }
    // The raise of the peak that one write adds after one read (write_memory.sh): in a fresh
    // process, before anything else runs in it.
    if (named_section("write-peak")) {
        const char* reader = std::getenv("ZEL_BENCH_READER");
        bool ok = !inputs.empty();
        for (const Input& in : inputs)
            ok = zelbench::print_write_peak(in.label, in.document, in.path, in.out(), reader ? reader : "XMLRead", 32) && ok;
        for (const Input& in : inputs)
            if (in.generated) std::remove(in.path.c_str());
        return ok ? 0 : 1;
    }
    for (const Input& in : inputs) register_pairs(in);
    benchmark::Initialize(&argc, argv);
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    if (section("table")) print_table(inputs, collector);
    if (section("memory"))
        for (const Input& in : inputs) zelbench::print_memory(in.label, in.document, in.path);
    if (section("curve")) print_dom_curve();
    for (const Input& in : inputs)
        if (in.generated) std::remove(in.path.c_str());
    benchmark::Shutdown();
    zelbench::other_cleanup();
    XMLTerm();
    return quiet ? 0 : 1;
}
