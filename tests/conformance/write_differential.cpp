// XMLWrite and XMLWriteFH against the reference writer (oracle/) on every case of the
// conformance suite that XMLRead reads with result 0: each tree is written in eight encodings
// by both, to a new file, over an existing one, through a stream and to no output, and the
// results, messages and bytes must agree. Prints each difference; fails on any.
// usage: zel_xml3_write_differential SUITE_DIR
//        zel_xml3_write_differential -   (the paths to read come one a line on standard input)
#include "catalog.hpp"
#include "dom_write.hpp"
#include "stderr_capture.hpp"

#include "zel_xml3.h"

#include <cstdio>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const char* const kEncodings[] = {nullptr,      "UTF-8",    "UTF-16",       "UTF-16BE",
                                  "ISO-8859-1", "US-ASCII", "windows-1252", "IBM037"};

std::vector<std::string> paths_from(const std::string& source) {
    std::vector<std::string> paths;
    if (source != "-") {
        for (const conformance::Case& c : conformance::load_catalog(source)) paths.push_back(c.path);
        return paths;
    }
    for (std::string line; std::getline(std::cin, line);)
        if (!line.empty()) paths.push_back(line);
    return paths;
}

// The tree XMLRead makes of `path`, or null when the read does not give 0. What it prints
// is dropped: the read differential compares that.
XMLNode* read_tree(const std::string& path) {
    XMLNode* root = XMLCreateRootNode();
    ZEL_XML_RESULT result;
    {
        oracle::StderrCapture quiet;
        result = XMLRead(path.c_str(), root, nullptr);
    }
    if (result == ZEL_XML_OK) return root;
    XMLFreeRootNode(root);
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s SUITE_DIR\n", argv[0]);
        return 2;
    }
    XMLInit();
    int documents = 0, writes = 0, differing = 0;
    try {
        for (const std::string& path : paths_from(argv[1])) {
            XMLNode* root = read_tree(path);
            if (root == nullptr) continue;
            ++documents;
            for (const char* encoding : kEncodings) {
                std::string difference = oracle::write_differences(root, encoding);
                ++writes;
                if (difference.empty()) continue;
                ++differing;
                std::printf("%s in %s: %s\n", path.c_str(), encoding != nullptr ? encoding : "NULL",
                            difference.substr(0, 2000).c_str());
            }
            XMLFreeRootNode(root);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        documents = 0;
    }
    XMLTerm();
    std::printf("%d documents written in %d ways, %d differ\n", documents, writes, differing);
    return documents > 0 && differing == 0 ? 0 : 1;
}
