// The importer object the download worker calls after a download, and the
// steps the three imports share: reading a downloaded file whole, turning an
// archive into UTF-8 page text, placing display copies, adding room nodes.
#pragma once

#include "store/offline_store.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CAppConfig;
class CEditTreeModel;
class CEditTreeItem;
class COfflineTable;
class IImportUserInterface;
struct CAppPaths;

// Texts of the room tree's category nodes below the first top-level node.
inline constexpr const char* kCommunityNodeText = "ZELK社区";
inline constexpr const char* kDevelopNodeText = "ZELK文档";
inline constexpr const char* kOtherArticlesNodeText = "其他文章";

// What an import did, for the one who asked for it.
struct CImportResult
{
    StoreOutcome outcome = StoreOutcome::Failed; // Failed: the reason went to the status bar
    long key = 0;                                // fID, or the page's key
    std::string title;
    std::string displayPath;
};

class CContentImporter
{
public:
    // Everything is borrowed and must outlive the importer. The tree model
    // is only touched through ui.RunOnUserInterfaceThread.
    CContentImporter(COfflineStore& store, const CAppPaths& paths, const CAppConfig& config,
                     CEditTreeModel& tree, IImportUserInterface& ui);

    // A forum topic's XML, downloaded to path ("CommunityTemp.xml").
    CImportResult ImportTopicFile(const std::string& path);
    // An article's archive; the id comes from the address.
    CImportResult ImportArticleFile(const std::string& address, const std::string& path);
    // Any other page's archive; its row remembers the address, and a page
    // saved again from there replaces it.
    CImportResult ImportOtherPageFile(const std::string& address, const std::string& path);

private:
    // The end every import shares: the downloaded file (with its trailing
    // zero) becomes the row's content column and the row is stored, or
    // replaces the stored row of the same item. Only then are the display
    // copy written and the room node added: a store that fails leaves
    // neither, and says why in the status bar.
    CImportResult StoreDownload(OfflineTable table, COfflineTable& row, long contentColumn,
                                const std::string& path, const std::function<void()>& addRoomNode);

    // Finds the room by id anywhere in the tree; when absent, adds it below
    // the category node and gives it the id.
    void EnsureRoomNode(const char* categoryText, std::int32_t roomId, const std::string& roomName);
    // Runs a change of the room tree on the user-interface thread, on the
    // tree file as other processes left it; a tree that cannot be written
    // is reported in the status bar.
    void EditRoomTree(const std::function<void()>& change);

    COfflineStore& m_store;
    const CAppPaths& m_paths;
    const CAppConfig& m_config;
    CEditTreeModel& m_tree;
    IImportUserInterface& m_ui;
};

// The downloaded file's bytes followed by one zero byte (the stored
// content). False when the file cannot be sized (after the error box) or
// read.
bool ReadFileWithTrailingZero(const std::string& path, std::vector<unsigned char>& bytes);

// The value after the first "charset=" that has one, up to the next quote,
// semicolon, blank or ">"; a value in quotes is read inside them. Returns
// the index just after "charset=", or -1 with charset unchanged.
long ExtractCharset(const std::string& text, std::string& charset);

// Character references in a value taken from markup (the named ones of
// HTML 4, &apos; and numeric ones) become the characters they stand for;
// anything else stays as written.
std::string DecodeHtmlReferences(const std::string& text);

// Page text of a downloaded archive (or plain page): the main HTML part
// decoded, cut at its first zero byte, converted from its declared charset
// (the part's, else the page's own, else UTF-8 with a GBK fallback) to UTF-8.
std::string PageTextFromArchive(const std::string& archive);
