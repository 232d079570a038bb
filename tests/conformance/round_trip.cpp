// Documents read whole come back byte for byte: every XML file installed under the given
// folders that XMLReadFile reads with ZEL_XML_KEEP_ALL and result 0 must be written back by
// XMLWriteToSink (flags 0, the document's own encoding) exactly as it was; of the suite's
// valid cases, at least 99% must. Prints each file that differs; fails when a rule breaks.
// usage: zel_xml3_round_trip [--suite SUITE_DIR] [FOLDER...]
#include "catalog.hpp"

#include "zel_xml3.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

size_t append(const void* bytes, size_t length, void* user) {
    static_cast<std::string*>(user)->append(static_cast<const char*>(bytes), length);
    return length;
}

enum class Outcome { unread, same, differs };

// Reads and writes back `path`; prints where a document that was read does not come back.
Outcome round_trip(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string original((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    XMLNode* root = XMLCreateRootNode();
    XMLReadOptions options{ZEL_XML_KEEP_ALL, nullptr};
    Outcome outcome = Outcome::unread;
    if (XMLReadFile(path.c_str(), root, &options, nullptr) == ZEL_XML_OK) {
        std::string written;
        ZEL_XML_RESULT result = XMLWriteToSink(append, &written, root, nullptr);
        outcome = result == ZEL_XML_OK && written == original ? Outcome::same : Outcome::differs;
        if (outcome == Outcome::differs) {
            std::size_t at = 0;
            while (at < written.size() && at < original.size() && written[at] == original[at]) ++at;
            std::printf("differs: %s (write %d %s; %zu bytes read, %zu written, first difference at byte %zu)\n",
                        path.c_str(), result, XMLGetLastError(), original.size(), written.size(), at);
        }
    }
    XMLFreeRootNode(root);
    return outcome;
}

struct Tally {
    int read = 0, same = 0;
    void add(Outcome outcome) {
        read += outcome != Outcome::unread;
        same += outcome == Outcome::same;
    }
};

}  // namespace

int main(int argc, char** argv) {
    XMLInit();
    bool ok = true;
    std::vector<std::string> folders;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--suite" && i + 1 < argc) {
            Tally suite;
            for (const conformance::Case& c : conformance::load_catalog(argv[++i]))
                if (c.type == "valid") suite.add(round_trip(c.path));
            std::printf("suite: %d of %d valid documents read come back byte for byte\n", suite.same, suite.read);
            ok = ok && suite.read > 0 && suite.same * 100 >= suite.read * 99;
        } else {
            folders.push_back(arg);
        }
    }
    Tally installed;
    for (const std::string& folder : folders) {
        std::error_code error;
        namespace fs = std::filesystem;
        for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error), end;
             it != end; it.increment(error)) {
            if (error) break;
            if (it->is_regular_file(error) && it->path().extension() == ".xml" && it->file_size(error) < (8u << 20))
                installed.add(round_trip(it->path().string()));
        }
    }
    if (!folders.empty()) {
        std::printf("installed: %d of %d documents read come back byte for byte\n", installed.same, installed.read);
        ok = ok && installed.same == installed.read;
    }
    XMLTerm();
    return ok ? 0 : 1;
}
