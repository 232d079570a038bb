// The edits of set, delete and edit: each finds its nodes with XPath and changes the tree
// through the library's functions, one edit after the other on the same tree.
#pragma once

#include "cli.hpp"
#include "query.hpp"

#include <string>
#include <vector>

namespace zelxml {

class Editor {
public:
    // `document` is the document record of a tree read whole; `file` names it in messages.
    Editor(XMLNode* document, const Query& query, std::string file)
        : document_(document), query_(query), file_(std::move(file)) {}
    // Frees the records the edits took out of the tree.
    ~Editor();
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    // Checks an edit before any document is read: its expressions select nodes, its names
    // are XML names, its text is UTF-8. kOk, or kUsage after saying why.
    static int check(const EditOp& edit, const Query& query);

    // Carries out one edit on the tree as the edits before left it. kOk, or an exit code after
    // saying why (the tree may then be partly changed: write nothing).
    int apply(const EditOp& edit);

private:
    int set(const EditOp& edit, const XMLPathResult& found);
    int create_missing(const EditOp& edit);
    int remove(const EditOp& edit, const XMLPathResult& found);
    int insert(const EditOp& edit, const XMLPathResult& found);
    int rename(const EditOp& edit, const XMLPathResult& found);
    int move(const EditOp& edit, const XMLPathResult& found);
    int refuse(const std::string& message) const;

    XMLNode* document_;
    const Query& query_;
    std::string file_;
    // Records taken out, freed only when the editor goes, after the document is written: the
    // writer knows unchanged records by their address, and a new record must not take one of
    // theirs while the tree is in use.
    std::vector<XMLNode*> removed_;
};

}  // namespace zelxml
