// Writing a document through the library, and saying what the output will not keep.
#include "cli.hpp"

#include <csignal>
#include <cstring>

namespace zelxml {
namespace {

// What the input holds that the written document will not.
struct Lost {
    bool comments = false;
    bool instructions = false;
    bool doctype = false;
    bool cdata = false;
    bool entity_references = false;  // to entities other than the five predefined ones
};

bool is_name_byte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == '.' || c == ':' || (c & 0x80) != 0;
}

bool refers_to_declared_entity(const std::string& text) {
    static const char* const kPredefined[] = {"lt", "gt", "amp", "apos", "quot"};
    for (std::size_t at = text.find('&'); at != std::string::npos; at = text.find('&', at + 1)) {
        std::size_t end = at + 1;
        while (end < text.size() && is_name_byte(text[end])) ++end;
        if (end == at + 1 || end >= text.size() || text[end] != ';') continue;  // &#...; or no reference
        std::string name = text.substr(at + 1, end - at - 1);
        bool predefined = false;
        for (const char* p : kPredefined) predefined = predefined || name == p;
        if (!predefined) return true;
    }
    return false;
}

// A scan of the bytes, not a parse: markup inside comments counts as well. UTF-16 input is
// looked at without its zero bytes, which leaves its ASCII markup readable.
Lost scan(const std::string& bytes) {
    std::string narrow;
    const std::string* text = &bytes;
    if (bytes.find('\0') != std::string::npos) {
        narrow.reserve(bytes.size() / 2);
        for (char c : bytes)
            if (c != '\0') narrow += c;
        text = &narrow;
    }
    std::size_t start = text->find('<');
    if (start != std::string::npos && text->compare(start, 5, "<?xml") == 0 && start + 5 < text->size() &&
        std::strchr(" \t\r\n", (*text)[start + 5]) != nullptr) {
        std::size_t end = text->find("?>", start);
        start = end == std::string::npos ? text->size() : end + 2;
    }
    if (start == std::string::npos) start = text->size();
    Lost lost;
    lost.comments = text->find("<!--", start) != std::string::npos;
    lost.instructions = text->find("<?", start) != std::string::npos;
    lost.doctype = text->find("<!DOCTYPE", start) != std::string::npos;
    lost.cdata = text->find("<![CDATA[", start) != std::string::npos;
    lost.entity_references = refers_to_declared_entity(*text);
    return lost;
}

std::string listed(const std::vector<std::string>& items) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out += i + 1 == items.size() ? " and " : ", ";
        out += items[i];
    }
    return out;
}

}  // namespace

int say_what_is_lost(const std::string& name, const std::string& bytes, const ReadReport& report, const Args& args) {
    Lost lost = scan(bytes);
    const std::string shown = name == "-" ? "<stdin>" : name;
    if (report.remote_skipped && lost.entity_references && !args.force)
        return fail(kDocumentError,
                    shown + ": its DTD was not read, so entity references would be lost; --force writes anyway");
    std::vector<std::string> items;
    if (lost.comments) items.push_back("comments");
    if (lost.instructions) items.push_back("processing instructions");
    if (lost.doctype) items.push_back("the document type declaration");
    if (lost.cdata) items.push_back("CDATA sections");
    if (!items.empty()) note(args.quiet, shown + ": " + listed(items) + (items.size() > 1 ? " are" : " is") + " not kept");
    return kOk;
}

int check_encoding(const std::string& encoding) {
    if (encoding.empty()) return kOk;
    Tree probe;
    std::FILE* sink = std::fopen("/dev/null", "w");
    if (probe.root() == nullptr || sink == nullptr) {
        if (sink != nullptr) std::fclose(sink);
        return fail(kIoError, "cannot try the encoding: out of resources");
    }
    XMLCreateDocumentNode("probe", probe.root());
    ZEL_XML_RESULT result;
    {
        Captured library_lines;
        result = XMLWriteFH(sink, encoding.c_str(), probe.root());
    }
    std::fclose(sink);
    return result == ZEL_XML_OK ? kOk : fail(kUsage, "unknown encoding '" + encoding + "'");
}

int write_document(const std::string& target, const std::string& encoding, const XMLNode* root) {
    const char* enc = encoding.empty() ? "UTF-8" : encoding.c_str();
    // An interrupt during the write of a file waits for its end, so the file is the old one
    // or the new one, and the library removes its temporary file either way. Standard output
    // has nothing to keep whole: an interrupt stops a long write into a slow pipe at once.
    const bool to_file = target != "-";
    sigset_t held, old;
    sigemptyset(&held);
    sigaddset(&held, SIGINT);
    sigaddset(&held, SIGTERM);
    if (to_file) sigprocmask(SIG_BLOCK, &held, &old);
    ZEL_XML_RESULT result;
    std::string library_text;
    {
        Captured library_lines;
        if (!to_file) {
            result = XMLWriteFH(stdout, enc, root);
            if (std::fflush(stdout) != 0) result = ZEL_XML_EXCEPTION;
        } else {
            result = XMLWrite(target.c_str(), enc, root);
        }
        library_text = library_lines.finish();
    }
    if (to_file) sigprocmask(SIG_SETMASK, &old, nullptr);
    if (result == ZEL_XML_OK) return kOk;
    std::string reason = Captured::last_line(library_text);
    return fail(kIoError, "cannot write " + (target == "-" ? std::string("standard output") : target) +
                              (reason.empty() ? "" : ": " + reason));
}

}  // namespace zelxml
