// A process that reads documents all day does not grow: whatever the parser leaves allocated
// through the library's memory manager is freed with the read. Each reader reads documents
// whose DOCTYPE names an external local DTD (the parser library leaks its declaration of the
// subset) and one naming a folder as its DTD (read as empty, with a warning) many times over.
#include "dom_helpers.hpp"

#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

class SafetyMemory : public ParserTest {};

// Resident bytes of this process.
long resident_bytes() {
    long pages_total = 0;
    long pages_resident = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr) return -1;
    int fields = std::fscanf(statm, "%ld %ld", &pages_total, &pages_resident);
    std::fclose(statm);
    return fields == 2 ? pages_resident * sysconf(_SC_PAGESIZE) : -1;
}

// Growth of the resident size over `reads` calls of `read`, after a warm-up.
long growth_over(int reads, const std::function<void()>& read) {
    for (int i = 0; i < 500; ++i) read();
    long before = resident_bytes();
    for (int i = 0; i < reads; ++i) read();
    return resident_bytes() - before;
}

TEST_F(SafetyMemory, RepeatedReadsWithAnExternalDtdKeepTheProcessFlat) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "freed memory sits in the sanitizer's quarantine; there the leak checker stands in";
#endif
    const std::string dir = std::string(ZEL_TEST_DATA_DIR) + "/safety/";
    const std::string file = dir + "local_dtd.xml";
    // A buffer has no base: its DTD is named by its full path.
    const std::string text = "<!DOCTYPE doc SYSTEM \"" + dir + "local.dtd\"><doc><item>&maker;</item></doc>";
    const std::string folder_text = "<!DOCTYPE y SYSTEM \"..\"><y/>";
    ScratchFile folder_dtd(folder_text);
    struct Document {
        std::string path;
        std::string text;
    };
    const Document documents[] = {{file, text}, {folder_dtd.path(), folder_text}};
    constexpr long kFlat = 256 * 1024;
    constexpr int kReads = 10000;

    struct Reader {
        const char* name;
        std::function<ZEL_XML_RESULT(const Document&, XMLNode*)> read;
    };
    const Reader readers[] = {
        {"XMLRead", [](const Document& doc, XMLNode* root) { return XMLRead(doc.path.c_str(), root, nullptr); }},
        {"SAX_XMLRead",
         [](const Document& doc, XMLNode* root) { return SAX_XMLRead(doc.path.c_str(), root, nullptr, nullptr); }},
        {"SAX_XMLMemRead",
         [](const Document& doc, XMLNode* root) { return SAX_XMLMemRead(doc.text.c_str(), root, nullptr, nullptr); }},
    };
    for (const Reader& reader : readers) {
        for (const Document& doc : documents) {
            ZEL_XML_RESULT result = 0;
            std::string messages = capture_stderr([&] {
                long growth = growth_over(kReads, [&] {
                    Root root = make_root();
                    result = reader.read(doc, root.get());
                });
                EXPECT_LT(growth, kFlat) << reader.name << " grew over " << kReads << " reads of " << doc.path;
                std::printf("%s, %s: %ld bytes over %d reads\n", reader.name, doc.path.c_str(), growth, kReads);
            });
            EXPECT_EQ(result, ZEL_XML_OK) << reader.name << messages.substr(0, 400);
        }
    }
}

}  // namespace
