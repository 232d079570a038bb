// No read ever opens a network connection: a listener on 127.0.0.1 counts every connection
// while documents point their DTD, entities and themselves at it. Local DTDs and entities
// keep working.
#include "dom_helpers.hpp"
#include "sax_helpers.hpp"

#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

class SafetyNetwork : public ParserTest {};

// Accepts and at once closes every connection on a free port of 127.0.0.1, so a client that
// did connect fails fast instead of waiting for an answer.
class Listener {
public:
    Listener() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(listen(fd_, 16), 0);
        socklen_t length = sizeof address;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~Listener() {
        stop_ = true;
        thread_.join();
        ::close(fd_);
    }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    std::string url(const char* scheme, const char* path) const {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_) + path;
    }
    int connections() const { return connections_; }

private:
    void serve() {
        while (!stop_) {
            pollfd waiting{fd_, POLLIN, 0};
            if (poll(&waiting, 1, 20) <= 0) continue;
            int client = accept(fd_, nullptr, nullptr);
            if (client >= 0) {
                ++connections_;
                ::close(client);
            }
        }
    }

    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::thread thread_;
};

// Documents that would make an unguarded parser fetch from the listener.
std::vector<std::string> remote_documents(const Listener& server) {
    return {
        "<!DOCTYPE d SYSTEM \"" + server.url("http", "/d.dtd") + "\"><d/>",
        "<!DOCTYPE d PUBLIC \"-//Z//X//EN\" \"" + server.url("HTTP", "/d.dtd") + "\"><d/>",
        "<!DOCTYPE d [<!ENTITY e SYSTEM \"" + server.url("http", "/e.xml") + "\">]><d>&e;</d>",
        "<!DOCTYPE d [<!ENTITY % p SYSTEM \"" + server.url("http", "/p.ent") + "\"> %p;]><d/>",
        "<!DOCTYPE d [<!ENTITY e SYSTEM \"" + server.url("ftp", "/e.xml") + "\">]><d>&e;</d>",
        "<!DOCTYPE d [<!ENTITY e SYSTEM \"" + server.url("https", "/e.xml") + "\">]><d>&e;</d>",
    };
}

// What each reader made of `doc` (written to a file for the file readers): the tree, the
// result and, for XMLRead, the stderr text; for the event-driven ones, the diagnostics.
struct RemoteReads {
    ReadOutcome dom;
    std::vector<std::pair<ZEL_XML_RESULT, Recorder>> sax;  // SAX_XMLRead, then SAX_XMLMemRead
    std::vector<std::string> sax_trees;
};

RemoteReads read_with_every_reader(const std::string& doc) {
    ScratchFile file(doc);
    RemoteReads out{read_document(file.path()), {}, {}};
    for (bool from_file : {true, false}) {
        Recorder recorder;
        XMLParseCallbacks callbacks = recorder.callbacks();
        Root root = make_root();
        ZEL_XML_RESULT result = from_file ? SAX_XMLRead(file.path(), root.get(), &callbacks, nullptr)
                                          : SAX_XMLMemRead(doc.c_str(), root.get(), &callbacks, nullptr);
        out.sax.emplace_back(result, recorder);
        out.sax_trees.push_back(outline(root.get()));
    }
    return out;
}

// Remote DTDs and entities are never fetched and read as empty: the read goes on with a
// warning naming the identifier (the event-driven readers, which validate, then report the
// undeclared elements as validity errors), the result stays 0 and nothing remote is in the tree.
TEST_F(SafetyNetwork, RemoteDtdsAndEntitiesReadAsEmpty) {
    Listener server;
    struct Case {
        std::string doc;
        std::string remote;  // the identifier the warning names
        std::string tree;
    };
    std::vector<Case> cases;
    const std::vector<std::string> listener_docs = remote_documents(server);
    const char* listener_paths[] = {"/d.dtd", "/d.dtd", "/e.xml", "/p.ent", "/e.xml", "/e.xml"};
    const char* listener_schemes[] = {"http", "HTTP", "http", "http", "ftp", "https"};
    for (std::size_t i = 0; i < listener_docs.size(); ++i)
        cases.push_back({listener_docs[i], server.url(listener_schemes[i], listener_paths[i]), "d"});
    // Shapes of everyday files: an XHTML page, an SVG 1.1 drawing, a D-Bus introspection file.
    cases.push_back({"<?xml version=\"1.0\"?>\n<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\"\n"
                     "  \"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n"
                     "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>T</title></head>"
                     "<body><p>a &amp; b</p></body></html>\n",
                     "http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd",
                     "html[xmlns=http://www.w3.org/1999/xhtml:3]{head{title{\"T\"}},body{p{\"a & b\"}}}"});
    cases.push_back({"<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
                     "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">\n"
                     "<svg width=\"10\"><rect x=\"1\"/></svg>",
                     "http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd", "svg[width=10:3]{rect[x=1:3]}"});
    cases.push_back({"<!DOCTYPE node PUBLIC \"-//freedesktop//DTD D-BUS Object Introspection 1.0//EN\"\n"
                     " \"http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd\">\n"
                     "<node><interface name=\"org.example.A\"><method name=\"Ping\"/></interface></node>",
                     "http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd",
                     "node{interface[name=org.example.A:3]{method[name=Ping:3]}}"});

    const std::string warning = "remote DTD or entity not fetched: ";
    for (const Case& c : cases) {
        RemoteReads reads = read_with_every_reader(c.doc);
        EXPECT_EQ(reads.dom.result, ZEL_XML_OK) << c.doc << reads.dom.messages;
        EXPECT_EQ(outline(reads.dom.root.get()), c.tree) << c.doc;
        EXPECT_EQ(reads.dom.messages.rfind("\nWarning at file ", 0), 0u) << reads.dom.messages;
        EXPECT_NE(reads.dom.messages.find("\n  Message: " + warning + c.remote), std::string::npos)
            << reads.dom.messages;
        for (std::size_t i = 0; i < reads.sax.size(); ++i) {
            const auto& [result, recorder] = reads.sax[i];
            EXPECT_EQ(result, ZEL_XML_OK) << c.doc;
            EXPECT_EQ(reads.sax_trees[i], c.tree) << c.doc;
            // One warning; everything else is a validity error (the undeclared elements).
            std::vector<std::string> warnings;
            for (const Recorder::Diagnostic& d : recorder.diagnostics) {
                if (d.severity == 6) warnings.push_back(d.message);
                else EXPECT_EQ(d.severity, 5) << d.message;
            }
            EXPECT_EQ(warnings, std::vector<std::string>{warning + c.remote}) << c.doc;
        }
    }
    EXPECT_EQ(server.connections(), 0);
}

// A local DTD or entity that cannot be opened reads as empty like a remote one, with its own
// warning naming the identifier as written. Each document is a file in the temporary folder
// (its relative names resolve there, or in the current directory when read from memory); the
// last row's DTD lies elsewhere and names an entity beside itself, which must still be found.
TEST_F(SafetyNetwork, LocalDtdsAndEntitiesThatCannotBeOpenedReadAsEmpty) {
    const std::string data = std::string(ZEL_TEST_DATA_DIR) + "/safety";
    struct Case {
        std::string doc;
        std::string missing;  // the identifier the warning names; "" for no warning
        std::string tree;
    };
    const Case cases[] = {
        {"<!DOCTYPE d SYSTEM \"zel_absent.dtd\"><d k=\"v\">text</d>", "zel_absent.dtd", "d[k=v:3]{\"text\"}"},
        {"<!DOCTYPE d [<!ENTITY % p SYSTEM \"zel_absent.ent\"> %p; <!ENTITY x \"X\">]><d>&x;</d>",
         "zel_absent.ent", "d{\"X\"}"},
        {"<!DOCTYPE d [<!ENTITY e SYSTEM \"./zel_absent.ent\">]><d><a/>&e;<b/></d>", "./zel_absent.ent", "d{a,b}"},
        {"<!DOCTYPE d SYSTEM \"" + data + "\"><d><e/></d>", data, "d{e}"},
        {"<!DOCTYPE doc SYSTEM \"" + data + "/local.dtd\"><doc><item>&greeting;</item></doc>", "",
         "doc{item[kind=plain:3]{\"hello from a file\"}}"},
    };
    const std::string warning = "local DTD or entity not found: ";
    for (const Case& c : cases) {
        RemoteReads reads = read_with_every_reader(c.doc);
        const bool warns = !c.missing.empty();
        const std::vector<std::string> expected = warns ? std::vector<std::string>{warning + c.missing}
                                                        : std::vector<std::string>{};
        EXPECT_EQ(reads.dom.result, ZEL_XML_OK) << c.doc << reads.dom.messages;
        EXPECT_EQ(outline(reads.dom.root.get()), c.tree) << c.doc;
        EXPECT_EQ(reads.dom.messages.find("Error"), std::string::npos) << reads.dom.messages;
        EXPECT_EQ(reads.dom.messages.rfind("\nWarning at file ", 0) == 0, warns) << reads.dom.messages;
        EXPECT_EQ(reads.dom.messages.find("\n  Message: " + warning + c.missing) != std::string::npos, warns)
            << reads.dom.messages;
        for (std::size_t i = 0; i < reads.sax.size(); ++i) {
            const auto& [result, recorder] = reads.sax[i];
            EXPECT_EQ(result, ZEL_XML_OK) << c.doc;
            EXPECT_EQ(reads.sax_trees[i], c.tree) << c.doc;
            std::vector<std::string> warnings;
            for (const Recorder::Diagnostic& d : recorder.diagnostics) {
                if (d.severity == 6) warnings.push_back(d.message);
                else EXPECT_EQ(d.severity, 5) << d.message;
            }
            EXPECT_EQ(warnings, expected) << c.doc;
        }
    }
}

TEST_F(SafetyNetwork, RemoteDocumentNamesAreFilesThatCannotBeOpened) {
    Listener server;
    const std::string url = server.url("http", "/x.xml");
    ReadOutcome remote = read_document(url);
    ScratchFile missing;  // removed: names a file that does not exist
    std::remove(missing.path());
    ReadOutcome absent = read_document(missing.path());

    EXPECT_EQ(remote.result, ZEL_XML_ERROR);
    EXPECT_EQ(absent.result, ZEL_XML_ERROR);
    EXPECT_NE(remote.messages.find("unable to open primary document entity '" + url + "'"), std::string::npos)
        << remote.messages;
    EXPECT_EQ(remote.messages.substr(remote.messages.find("\n  Message: ")),
              absent.messages.substr(absent.messages.find("\n  Message: "))
                  .replace(absent.messages.substr(absent.messages.find("\n  Message: ")).find(missing.path()),
                           std::strlen(missing.path()), url));

    Root root = make_root();
    for (const std::string& name : {url, server.url("ftp", "/x.xml"), server.url("file", "/x.xml")})
        EXPECT_EQ(SAX_XMLRead(name.c_str(), root.get(), nullptr, nullptr), ZEL_XML_NO_FILE) << name;
    EXPECT_EQ(server.connections(), 0);
}

// A local DTD with a default attribute, an internal entity and an external entity in a
// file next to it; the same entity named by a file: URL.
TEST_F(SafetyNetwork, LocalDtdsAndEntitiesKeepWorking) {
    const std::string dir = std::string(ZEL_TEST_DATA_DIR) + "/safety/";
    const std::string expected = "doc{item[kind=plain:3]{\"hello from a file\"},item[kind=made:3]{\"Zel\"}}";

    ReadOutcome dom = read_document(dir + "local_dtd.xml");
    EXPECT_EQ(dom.result, ZEL_XML_OK) << dom.messages;
    EXPECT_EQ(outline(dom.root.get()), expected);

    Root sax = make_root();
    EXPECT_EQ(SAX_XMLRead((dir + "local_dtd.xml").c_str(), sax.get(), nullptr, nullptr), ZEL_XML_OK);
    EXPECT_EQ(outline(sax.get()), expected);

    const std::string by_url = "<!DOCTYPE d [<!ENTITY e SYSTEM \"file://" + dir + "greeting.ent\">]><d>&e;</d>";
    Root memory = make_root();
    EXPECT_EQ(SAX_XMLMemRead(by_url.c_str(), memory.get(), nullptr, nullptr), ZEL_XML_OK);
    EXPECT_EQ(outline(memory.get()), "d{\"hello from a file\"}");
    ScratchFile file(by_url);
    ReadOutcome dom_url = read_document(file.path());
    EXPECT_EQ(dom_url.result, ZEL_XML_OK) << dom_url.messages;
    EXPECT_EQ(outline(dom_url.root.get()), "d{\"hello from a file\"}");
}

}  // namespace
