// The tree that the event-driven reader builds: which records appear, what text they hold,
// how many records were made, and where the read leaves the caller's root.
#include "sax_helpers.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using SaxTree = ParserTest;

struct TreeCase {
    const char* what;
    const char* doc;
    const char* outline;
    int32_t count;  // elements plus every text record made, blank ones removed later included
};

// One row per content rule: blank text pruned between elements, mixed content kept whole,
// pieces of text merged, comments and processing instructions leaving nothing.
const TreeCase kTreeCases[] = {
    {"blank text around a child is removed", "<a> <b/> </a>", "a{b}", 4},
    {"mixed content keeps every piece", "<a>x<b/>y</a>", "a{\"x\",b,\"y\"}", 4},
    {"text keeps its own white space", "<a>  x  </a>", "a{\"  x  \"}", 2},
    {"blank after text goes, text before stays", "<a>x <b/> </a>", "a{\"x \",b}", 4},
    {"indentation leaves no record", "<a>\n  <b>t</b>\n  <c/>\n</a>\n", "a{b{\"t\"},c}", 7},
    {"mixed content with spaces", "<p>one <i>two</i> three</p>", "p{\"one \",i{\"two\"},\" three\"}", 5},
    {"entity reference merged", "<a>1 &amp; 2</a>", "a{\"1 & 2\"}", 2},
    {"CDATA becomes text", "<a><![CDATA[<b>c</b>]]></a>", "a{\"<b>c</b>\"}", 2},
    {"pieces of every kind merged", "<a>x&#65;<![CDATA[y]]>z&lt;</a>", "a{\"xAyz<\"}", 2},
    {"declared entity merged", "<!DOCTYPE a [<!ENTITY e \"EE\">]><a>x&e;y</a>", "a{\"xEEy\"}", 2},
    {"comment and PI leave nothing", "<a><!-- c --><?pi data?></a>", "a", 1},
    {"text around a comment is one record", "<a>x<!-- c -->y</a>", "a{\"xy\"}", 2},
    {"blank around a comment is one removed record", "<a> <!-- c --> </a>", "a", 2},
    {"no-break space is not blank", "<a>\xC2\xA0</a>", "a{\"\xC2\xA0\"}", 2},
    {"UTF-8 names, values and text", "<a k=\"\xC3\xA9\">\xE6\x97\xA5\xE6\x9C\xAC</a>",
     "a[k=\xC3\xA9:3]{\"\xE6\x97\xA5\xE6\x9C\xAC\"}", 2},
    {"attributes keep document order", "<a z=\"1\" y=\"2\" x=\"3\"/>", "a[z=1:3 y=2:3 x=3:3]", 1},
};

TEST_F(SaxTree, ContentRulesAndRecordCount) {
    for (const TreeCase& c : kTreeCases) {
        int32_t count = -1;
        Root root = read_memory(c.doc, nullptr, &count);
        EXPECT_EQ(outline(root.get()), c.outline) << c.what;
        EXPECT_EQ(count, c.count) << c.what;
        EXPECT_EQ(root->type, XML_ELEMENT_NODE) << c.what;
        EXPECT_STREQ(root->value, "") << c.what;
    }
}

TEST_F(SaxTree, NotationAttributesGetTheirOwnTypeCode) {
    const char* doc =
        "<!DOCTYPE a [<!NOTATION png SYSTEM \"image/png\"><!NOTATION gif SYSTEM \"image/gif\">"
        "<!ELEMENT a EMPTY>"
        "<!ATTLIST a fmt NOTATION (png|gif) #REQUIRED id ID #IMPLIED kind (x|y) \"x\" n NMTOKEN #IMPLIED>]>"
        "<a n=\"t\" fmt=\"gif\" id=\"i1\"/>";
    Root root = read_memory(doc);
    // Specified attributes in document order, then the defaulted one.
    EXPECT_EQ(outline(root.get()), "a[n=t:3 fmt=gif:10 id=i1:3 kind=x:3]");
}

TEST_F(SaxTree, LongTextInManyPiecesIsOneExactRecord) {
    // Long enough for the parser to deliver it in several pieces, with entity references
    // splitting it further: the pieces must join without loss or duplication.
    std::string doc = "<a>";
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        doc += "line " + std::to_string(i) + " &lt;&#x65E5;\n";
        expected += "line " + std::to_string(i) + " <\xE6\x97\xA5\n";
    }
    doc += "</a>";
    int32_t count = 0;
    Root root = read_memory(doc, nullptr, &count);
    ASSERT_EQ(root->children.count, 1);
    EXPECT_EQ(std::string(root->children.items[0]->value), expected);
    EXPECT_EQ(count, 2);
}

// Checks that every record below `node` points back at the record that holds it.
void expect_parent_links(const XMLNode* top) {
    std::vector<const XMLNode*> pending{top};
    while (!pending.empty()) {
        const XMLNode* node = pending.back();
        pending.pop_back();
        for (int32_t i = 0; i < node->children.count; ++i) {
            EXPECT_EQ(node->children.items[i]->parent, node) << node->name << " child " << i;
            pending.push_back(node->children.items[i]);
        }
    }
}

TEST_F(SaxTree, ParentLinksFollowTheNesting) {
    Root root = read_memory("<a><b><c>t</c><d/></b>x<e/></a>");
    EXPECT_EQ(root->parent, nullptr);
    expect_parent_links(root.get());

    // A root that already hangs in a host tree keeps its own link upwards.
    Root host = make_root("host");
    XMLNode* slot = XMLCreateElementNode("slot", host.get());
    ASSERT_EQ(SAX_XMLMemRead("<a><b/></a>", slot, nullptr, nullptr), ZEL_XML_OK);
    EXPECT_EQ(slot->parent, host.get());
    EXPECT_EQ(outline(host.get()), "host{a{b}}");
    expect_parent_links(host.get());
}

TEST_F(SaxTree, EarlierContentOfTheRootStaysInFront) {
    Root root = make_root("old");
    add_attribute(root.get(), "keep", "1");
    XMLCreateElementNode("first", root.get());
    int32_t count = 0;
    ASSERT_EQ(SAX_XMLMemRead("<a k=\"v\"><b/></a>", root.get(), nullptr, &count), ZEL_XML_OK);
    EXPECT_EQ(outline(root.get()), "a[keep=1:3 k=v:3]{first,b}");
    EXPECT_EQ(count, 2);

    // A second read adds after what the first left; the root takes the new element's name.
    ASSERT_EQ(SAX_XMLMemRead("<c>t<d/></c>", root.get(), nullptr, &count), ZEL_XML_OK);
    EXPECT_EQ(outline(root.get()), "c[keep=1:3 k=v:3]{first,b,\"t\",d}");
    EXPECT_EQ(count, 3);
    expect_parent_links(root.get());
}

TEST_F(SaxTree, TextContinuesARootsLastTextRecord) {
    // Character data at the top goes on the end of the root's last child when that is text,
    // however it was split: the stored length must be measured from the existing text.
    Root root = make_root("old");
    XMLCreateTextNode("pre", root.get());
    int32_t count = 0;
    ASSERT_EQ(SAX_XMLMemRead("<a>x&amp;y<![CDATA[z]]></a>", root.get(), nullptr, &count), ZEL_XML_OK);
    EXPECT_EQ(outline(root.get()), "a{\"prex&yz\"}");
    EXPECT_EQ(count, 1);
}

TEST_F(SaxTree, ReadAttributesStayEditable) {
    // A child element's attributes share its record's block: every edit, growth, removal,
    // copy and release must still work on them (the sanitizer build checks the frees).
    Root root = read_memory("<r><e a=\"1\" b=\"\" c=\"three\"/><f g=\"x\"/></r>");
    XMLNode* e = root->children.items[0];
    ASSERT_TRUE(XMLSetNodeAttribute(e, "b", "two"));
    for (const char* name : {"d", "h", "i", "j", "k"}) ASSERT_TRUE(XMLSetNodeAttribute(e, name, name));
    ASSERT_TRUE(XMLRemoveAttrWithKeyName(e, "a"));
    ASSERT_TRUE(XMLSetIntegerAttribute(XMLFindAttrWithKeyName(e, "c"), "c", 3, XML_CDATA_SECTION_NODE));
    XMLNode* copy = XMLCopyNodeData(e);
    EXPECT_EQ(outline(root.get()), "r{e[b=two:3 c=3:3 d=d:3 h=h:3 i=i:3 j=j:3 k=k:3],f[g=x:3]}");
    XMLFreeRootNode(copy);
    XMLNode* f = root->children.items[1];
    XML_RemoveNthChildData(root.get(), 1);  // frees the attributes, keeps the record
    EXPECT_EQ(f->attributes.count, 0);
    EXPECT_TRUE(XMLSetNodeAttribute(f, "g", "y"));
    EXPECT_EQ(outline(f), "f[g=y:3]");
    XMLFreeRootNode(f);
}

}  // namespace
