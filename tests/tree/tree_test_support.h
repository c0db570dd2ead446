// Shared helpers of the room tree tests: a scratch folder and file access.
#pragma once

#include "tree/edit_tree_model.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

class ScratchFolder
{
public:
    ScratchFolder()
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "myzelk-tree-XXXXXX").string();
        if (mkdtemp(pattern.data()))
            m_path = pattern;
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ignored);
    }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

inline std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// "ID:Text:ImageIndex[data,...](children)" for a subtree, to compare trees.
inline std::string Describe(const CEditTreeItem& item)
{
    std::string out;
    if (const EditTreeNode* node = item.GetNode())
    {
        out = std::to_string(node->ID) + ":" + node->Text + ":" + std::to_string(node->ImageIndex);
        if (!node->Data.empty())
        {
            out += "[";
            for (size_t i = 0; i < node->Data.size(); ++i)
                out += (i ? "," : "") + node->Data[i];
            out += "]";
        }
    }
    else
    {
        out = "?" + item.GetText();
    }
    if (!item.GetChildren().empty())
    {
        out += "(";
        for (size_t i = 0; i < item.GetChildren().size(); ++i)
            out += (i ? " " : "") + Describe(*item.GetChildren()[i]);
        out += ")";
    }
    return out;
}

inline std::string Describe(const CEditTreeModel& model)
{
    std::string out;
    for (const auto& item : model.GetTopLevelItems())
        out += (out.empty() ? "" : " ") + Describe(*item);
    return out;
}
