// Records kept per room tree item and for a whole tree while it is loaded or
// saved. Owned by the tree model.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct EditTreeNode
{
    // Room number for room nodes, a sequence number for nodes the tree added.
    std::int32_t ID = 0;
    std::string Text = " ";
    std::int32_t ImageIndex = 0;
    // Values of Data elements, written back unchanged and never interpreted.
    std::vector<std::string> Data;
    // Filled only while a file is read; the tree items are the truth otherwise.
    std::vector<std::unique_ptr<EditTreeNode>> Children;
};

struct EditTreeRoot
{
    std::int32_t PersistCount = 0;
    std::string Text = "LQTreeRoot";
    std::string Version = "1.00.0";
    std::vector<std::unique_ptr<EditTreeNode>> Nodes;
};
