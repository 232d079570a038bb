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

TEST_F(SafetyNetwork, RemoteDtdsAndEntitiesAreRefusedByBothReaders) {
    Listener server;
    for (const std::string& doc : remote_documents(server)) {
        ScratchFile file(doc);
        ReadOutcome dom = read_document(file.path());
        EXPECT_EQ(dom.result, ZEL_XML_ERROR) << doc;
        EXPECT_NE(dom.messages.find("\nFatal Error at file "), std::string::npos) << dom.messages;
        EXPECT_NE(dom.messages.find("unable to open"), std::string::npos) << dom.messages;
        EXPECT_NE(dom.messages.find("127.0.0.1"), std::string::npos) << dom.messages;

        for (bool from_file : {true, false}) {
            Recorder recorder;
            XMLParseCallbacks callbacks = recorder.callbacks();
            Root root = make_root();
            ZEL_XML_RESULT result = from_file ? SAX_XMLRead(file.path(), root.get(), &callbacks, nullptr)
                                              : SAX_XMLMemRead(doc.c_str(), root.get(), &callbacks, nullptr);
            EXPECT_EQ(result, ZEL_XML_ERROR) << doc;
            ASSERT_FALSE(recorder.diagnostics.empty()) << doc;
            EXPECT_EQ(recorder.severities().back(), 7) << doc;
        }
    }
    EXPECT_EQ(server.connections(), 0);
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
