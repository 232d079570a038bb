#include "measure.hpp"

#include "bare.hpp"
#include "zel_xml3.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <malloc.h>
#include <string>
#include <sys/stat.h>

namespace zelbench {
namespace {

// Bytes that malloc holds for the tree: the growth of the heap's in-use total while the tree
// is built, measured in this process with nothing else allocating meanwhile.
std::size_t tree_bytes(const std::string& document) {
    XMLNode* root = XMLCreateRootNode();
    std::size_t before = mallinfo2().uordblks;
    XMLParseCallbacks none{};
    SAX_XMLMemRead(document.c_str(), root, &none, nullptr);
    std::size_t after = mallinfo2().uordblks;
    XMLFreeRootNode(root);
    return after - before;
}

long status_kb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
    return -1;
}

// Peak resident memory that `work` adds above what the process holds before it, in MB.
double peak_added_mb(const std::function<void()>& work) {
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";  // resets the peak to the current size
    long before = status_kb("VmRSS:");
    work();
    long peak = status_kb("VmHWM:");
    return (peak - before) / 1024.0;
}

}  // namespace

void print_memory(const std::string& label, const std::string& document, const std::string& path) {
    double per_byte = static_cast<double>(tree_bytes(document)) / document.size();

    auto read_sax = [&] {
        XMLNode* r = XMLCreateRootNode();
        SAX_XMLMemRead(document.c_str(), r, nullptr, nullptr);
        XMLFreeRootNode(r);
    };
    auto read_dom = [&] {
        XMLNode* r = XMLCreateRootNode();
        XMLRead(path.c_str(), r, nullptr);
        XMLFreeRootNode(r);
    };
    std::printf("%-13s record bytes per input byte %5.2f | peak MB: SAX_XMLMemRead %7.1f  bare SAX %6.1f  "
                "XMLRead %7.1f  bare DOM %7.1f  (input %.1f MB)\n",
                label.c_str(), per_byte, peak_added_mb(read_sax), peak_added_mb([&] { bare_sax_parse(document); }),
                peak_added_mb(read_dom), peak_added_mb([&] { bare_dom_parse(path); }), document.size() / 1e6);
}

bool print_write_peak(const std::string& label, const std::string& document, const std::string& path,
                      const std::string& out, const std::string& reader, double target_mb) {
    XMLNode* root = XMLCreateRootNode();
    ZEL_XML_RESULT read = reader == "SAX_XMLMemRead" ? SAX_XMLMemRead(document.c_str(), root, nullptr, nullptr)
                                                     : XMLRead(path.c_str(), root, nullptr);
    long peak_read = status_kb("VmHWM:");
    long resident = status_kb("VmRSS:");
    std::ofstream("/proc/self/clear_refs") << "5";  // from here VmHWM is the write's own peak
    std::remove(out.c_str());
    ZEL_XML_RESULT written = XMLWrite(out.c_str(), "UTF-8", root);
    long peak_write = status_kb("VmHWM:");
    struct stat info {};
    double out_mb = stat(out.c_str(), &info) == 0 ? info.st_size / 1e6 : 0;
    std::remove(out.c_str());
    XMLFreeRootNode(root);

    double raise = (peak_write > peak_read ? peak_write - peak_read : 0) / 1024.0;
    std::printf("%-13s %-14s read %d, peak %7.1f MB | XMLWrite %d, %.1f MB written: peak raised %7.1f MB "
                "(target %.0f)%s; peak %7.1f MB above the %.1f MB resident before it\n",
                label.c_str(), reader.c_str(), read, peak_read / 1024.0, written, out_mb, raise, target_mb,
                raise > target_mb ? "  MISSED" : "", (peak_write - resident) / 1024.0, resident / 1024.0);
    return read == ZEL_XML_OK && written == ZEL_XML_OK;
}

}  // namespace zelbench
