// The user-facing commands over the offline store: filling a list for the
// room selected in the offline room tree, searching saved topics or
// articles by title, and opening the record of an activated list row.
#pragma once

#include "LQADO/LQADODBController.h"

#include <optional>
#include <string>

class CMyZELKView;

// Row callbacks for the store's list and search operations, with the view
// as context: each appends one row to its list and returns 1; a null
// context stops the enumeration (0).
int CommunityRow(void* context, CLQADOField* row);
int DevelopRow(void* context, CLQADOField* row);
// Keeps the page's row key with the row, so pages of the same title each
// open as themselves.
int TopicRow(void* context, CLQADOField* row);

// Opens the record of a list row (the text of its first column) from the
// visible list: its display copy, re-created from the database when missing
// or torn, by the configured link-open mode (the panel's mode 1 taken as
// the default handler). With `wParam` other than 1 nothing happens (1);
// without a view, 0. A record that cannot be opened is reported in a box.
int OpenOfflineRecord(CMyZELKView* view, int wParam, const std::string& text);

// The offline room tree's selection: a node under "ZELK社区" lists the
// community topics of the node's room, one under "ZELK文档" the articles of
// the room, one under any other parent every saved page. A top-level node
// (no parent) does nothing.
void ShowRoomRecords(CMyZELKView& view, const std::string& nodeText,
                     const std::optional<std::string>& parentText, long nodeId);

// Show the community (develop) list with the records whose title contains
// the fragment. False, after telling the user, when the search was refused
// or failed.
bool SearchCommunity(CMyZELKView& view, const std::string& fragment);
bool SearchDevelop(CMyZELKView& view, const std::string& fragment);
