// A throw-away installation for the import tests: program folder with the
// shipped room tree and skin, a fresh database, the store, the tree model,
// and a user interface that records what it is asked to show.
#pragma once

#include "acquire/import_common.h"
#include "acquire/user_interface.h"
#include "base/app_paths.h"
#include "base/debug_log.h"
#include "config/app_config.h"
#include "platform/message_box.h"
#include "store/database_creation.h"
#include "store/offline_store.h"
#include "tree/edit_tree_model.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

inline std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// The page a browser would show: with no style sheet argument xsltproc
// follows the document's own xml-stylesheet instruction.
inline std::string TransformWithOwnSkin(const std::string& xmlPath)
{
    std::string output;
    if (FILE* pipe = popen(("xsltproc --nonet '" + xmlPath + "' 2>&1").c_str(), "r"))
    {
        char buffer[4096];
        size_t got;
        while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, got);
        pclose(pipe);
    }
    return output;
}

inline std::string Fixture(const std::string& name)
{
    return ReadBytes(std::string(MYZELK_ACQUIRE_FIXTURES) + "/" + name);
}

class RecordingUserInterface : public IImportUserInterface
{
public:
    void SetStatusText(const std::string& text) override { statusTexts.push_back(text); }
    void RunOnUserInterfaceThread(const std::function<void()>& work) override
    {
        ++uiCalls;
        onUiThread = true;
        work();
        onUiThread = false;
    }

    std::vector<std::string> statusTexts;
    int uiCalls = 0;
    bool onUiThread = false;
};

// Fails the test when the tree changes outside user-interface work.
class TreeThreadCheck : public IEditTreeModelListener, public IEditTreeNotify
{
public:
    explicit TreeThreadCheck(const RecordingUserInterface& ui) : m_ui(ui) {}
    void OnItemInserted(CEditTreeItem*) override { EXPECT_TRUE(m_ui.onUiThread); }
    void OnItemChanged(CEditTreeItem*) override { EXPECT_TRUE(m_ui.onUiThread); }
    void OnEditTreeAdded(const EditTreeAddInfo& info) override
    {
        EXPECT_TRUE(m_ui.onUiThread);
        addedPaths.push_back(info.path);
    }
    std::vector<std::string> addedPaths;

private:
    const RecordingUserInterface& m_ui;
};

class RecordingBoxes : public IMessageBoxHost
{
public:
    int Show(const std::string& text, const std::string&, unsigned) override
    {
        texts.push_back(text);
        return IDOK;
    }
    std::vector<std::string> texts;
};

class ImportTest : public testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "myzelk-import-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        const std::string appDir = m_root + "/app/";
        std::filesystem::create_directories(appDir + "Resource/RoomList");
        std::filesystem::create_directories(appDir + "Resource/Skins");
        std::filesystem::copy_file(std::string(MYZELK_SHIPPED_RESOURCES) + "/RoomList/OffLine.xml",
                                   appDir + "Resource/RoomList/OffLine.xml");
        std::filesystem::copy_file(std::string(MYZELK_SHIPPED_RESOURCES) + "/Skins/style1.xsl",
                                   appDir + "Resource/Skins/style1.xsl");
        ASSERT_TRUE(BuildPaths(paths, appDir.c_str()));

        std::string error;
        ASSERT_EQ(CreateDatabaseIfMissing(paths.m_szDatabaseFile, MYZELK_STORE_SCHEMA_FILE, &error),
                  DatabaseCreation::Created)
            << error;
        SetDebugLogPathForTesting((m_root + "/debug.txt").c_str());
        SetMessageBoxHost(&boxes);
        store =
            std::make_unique<COfflineStore>(controller, paths.m_szDatabaseFile, paths.m_szTempDir);
        ASSERT_EQ(store->OpenDatabase(), 1);
        importer = std::make_unique<CContentImporter>(*store, paths, config, tree, ui);

        config.SetHostForCommunity("community.zelk.example");
        config.SetHostForDevelop("develop.zelk.example");
        config.SetHostForFullSearchCommunity("search.zelk.example");

        tree.SetFolderImages(0, 0);
        tree.SetLeafImages(10, 10);
        ASSERT_TRUE(tree.SetPersistFile(paths.m_szOfflineTree));
        ASSERT_TRUE(tree.LoadTree(paths.m_szOfflineTree));
        tree.SetListener(&treeCheck);
        tree.SetNotify(&treeCheck);
    }

    void TearDown() override
    {
        importer.reset();
        if (store)
            store->CloseDatabase();
        SetMessageBoxHost(nullptr);
        SetDebugLogPathForTesting("debug.txt");
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }

    std::string Temp(const std::string& name) const
    {
        return std::string(paths.m_szTempDir) + "/" + name;
    }

    // Places a download where the worker leaves it.
    std::string Download(const std::string& name, const std::string& bytes) const
    {
        const std::string path = Temp(name);
        WriteBytes(path, bytes);
        return path;
    }

    // The room tree file as another start of the program would read it:
    // "Text=ID" of the children of a category node.
    std::vector<std::string> SavedChildren(const char* category) const
    {
        CEditTreeModel saved;
        EXPECT_TRUE(saved.LoadTree(paths.m_szOfflineTree));
        std::vector<std::string> out;
        const CEditTreeItem* node = saved.FindChildByText(saved.GetRootItem(), category);
        if (!node)
            return {"<no " + std::string(category) + ">"};
        for (const auto& child : node->GetChildren())
            out.push_back(child->GetNode()->Text + "=" + std::to_string(child->GetNode()->ID));
        return out;
    }

    std::string DebugLog() const { return ReadBytes(m_root + "/debug.txt"); }

    std::string m_root;
    CAppPaths paths;
    RecordingBoxes boxes;
    CLQADODBController controller;
    std::unique_ptr<COfflineStore> store;
    CAppConfig config;
    CEditTreeModel tree;
    RecordingUserInterface ui;
    TreeThreadCheck treeCheck{ui};
    std::unique_ptr<CContentImporter> importer;
};
