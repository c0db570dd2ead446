// list, search, extract, tree and classify: read-only views of the library,
// except extract, which writes a display copy as opening an item does.
#include "app/cmd/companion.h"

#include "acquire/url_classify.h"
#include "app/startup/app_core.h"
#include "app/startup/room_tree_setup.h"
#include "base/file_helpers.h"
#include "store/offline_tables.h"
#include "tree/edit_tree_model.h"

#include <iostream>
#include <optional>

namespace
{

std::optional<OfflineTable> TableByName(const std::string& name)
{
    if (name == "community")
        return OfflineTable::Community;
    if (name == "develop")
        return OfflineTable::Develop;
    if (name == "topic")
        return OfflineTable::Topic;
    return std::nullopt;
}

// What extract's first argument names: the table, and whether the second
// is a title ("topic TITLE") or a key ("community ID", "page KEY").
struct ExtractTarget
{
    OfflineTable table;
    bool byTitle;
};

std::optional<ExtractTarget> ExtractTargetByName(const std::string& name)
{
    if (name == "page")
        return ExtractTarget{OfflineTable::Topic, false};
    if (const auto table = TableByName(name))
        return ExtractTarget{*table, *table == OfflineTable::Topic};
    return std::nullopt;
}

std::string Clean(std::string text)
{
    for (char& c : text)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    return text;
}

struct RowSink
{
    std::ostream* out;
    long rows = 0;
};

// The columns the program's lists show, tab-separated.
int CommunityRowLine(void* context, CLQADOField* fields)
{
    auto* sink = static_cast<RowSink*>(context);
    CCommunityTable row(fields);
    *sink->out << row.GetLong(CCommunityTable::fID) << '\t'
               << Clean(row.GetText(CCommunityTable::fTitle)) << '\t'
               << row.GetLong(CCommunityTable::fReplyNum) << '\t'
               << Clean(row.GetText(CCommunityTable::fPostUserName)) << '\t'
               << row.GetDateText(CCommunityTable::fInDate) << '\t'
               << (row.GetLong(CCommunityTable::fEndState) ? "√" : "×") << '\t'
               << row.GetLong(CCommunityTable::fReadNum) << '\t'
               << row.GetLong(CCommunityTable::fRoomID) << '\n';
    ++sink->rows;
    return 1;
}

int DevelopRowLine(void* context, CLQADOField* fields)
{
    auto* sink = static_cast<RowSink*>(context);
    CDevelopTable row(fields);
    *sink->out << row.GetLong(CDevelopTable::fID) << '\t'
               << Clean(row.GetText(CDevelopTable::fTitle)) << '\t'
               << Clean(row.GetText(CDevelopTable::fAuthor)) << '\t'
               << row.GetDateText(CDevelopTable::fInDate) << '\t'
               << row.GetLong(CDevelopTable::fRoomID) << '\n';
    ++sink->rows;
    return 1;
}

int TopicRowLine(void* context, CLQADOField* fields)
{
    auto* sink = static_cast<RowSink*>(context);
    CTopicTable row(fields);
    // The key last, as the room id ends the other lines: what "extract page" takes.
    *sink->out << Clean(row.GetText(CTopicTable::fTitle)) << '\t'
               << row.GetDateText(CTopicTable::fInDate) << '\t'
               << Clean(row.GetText(CTopicTable::fRemark)) << '\t' << CTopicTable::RowKey(fields)
               << '\n';
    ++sink->rows;
    return 1;
}

LQADORecordCallback RowLineFor(OfflineTable table)
{
    switch (table)
    {
    case OfflineTable::Community:
        return CommunityRowLine;
    case OfflineTable::Develop:
        return DevelopRowLine;
    default:
        return TopicRowLine;
    }
}

// Store results: 0 rows found, -5 none; anything else is an error.
int FinishListing(long result, const RowSink& sink, const char* what)
{
    if (result == 0 || result == -5)
        return sink.rows ? kExitOk : kExitItemFailed;
    std::cerr << "MyZELKCmd " << what << ": the database could not be read (see debug.txt)\n";
    return kExitItemFailed;
}

} // namespace

int CommandList(CMyZELKCore& core, int argc, char** argv, std::ostream& out)
{
    const auto table = argc >= 1 ? TableByName(argv[0]) : std::nullopt;
    if (!table || argc > 2 || (*table == OfflineTable::Topic && argc == 2) ||
        (argc == 2 && !IsAllDigits(argv[1])))
    {
        std::cerr << "MyZELKCmd list: community|develop [ROOM-ID], or topic\n";
        return kExitUsage;
    }
    RowSink sink{&out};
    long result = 0;
    if (*table == OfflineTable::Topic)
        result = core.Store()->ListAllTopics(TopicRowLine, &sink);
    else if (argc == 2)
        result =
            core.Store()->ListRoomRecords(*table, AtoiText(argv[1]), RowLineFor(*table), &sink);
    else // every title contains the empty text
        result = core.Store()->SearchByTitle(*table, "", RowLineFor(*table), &sink);
    return FinishListing(result, sink, "list");
}

int CommandSearch(CMyZELKCore& core, int argc, char** argv, std::ostream& out)
{
    const auto table = argc == 2 ? TableByName(argv[0]) : std::nullopt;
    if (!table || *table == OfflineTable::Topic)
    {
        std::cerr << "MyZELKCmd search: community|develop TEXT\n";
        return kExitUsage;
    }
    RowSink sink{&out};
    const long result = core.Store()->SearchByTitle(*table, argv[1], RowLineFor(*table), &sink);
    if (result == kStoreRefused)
    {
        std::cerr << "MyZELKCmd search: the search text is too long\n";
        return kExitUsage;
    }
    return FinishListing(result, sink, "search");
}

int CommandExtract(CMyZELKCore& core, int argc, char** argv, std::ostream& out)
{
    const auto target = argc == 2 ? ExtractTargetByName(argv[0]) : std::nullopt;
    if (!target || (!target->byTitle && !IsAllDigits(argv[1])))
    {
        std::cerr << "MyZELKCmd extract: community|develop ID, page KEY, or topic TITLE\n";
        return kExitUsage;
    }
    COfflineStore& store = *core.Store();
    long key = AtoiText(argv[1]);
    if (target->byTitle)
    {
        // Of pages sharing the title, the first saved; "page KEY" opens any.
        CTopicTable row;
        if (store.GetTopicByTitle(argv[1], row) != 0)
        {
            std::cerr << "MyZELKCmd extract: no saved item " << argv[1] << "\n";
            return kExitItemFailed;
        }
        key = row.Key();
    }
    // As opening does: the display copy is written again unless it is whole.
    std::string reason;
    const std::string path = store.OpenDisplayCopy(target->table, key, &reason);
    if (path.empty())
    {
        std::cerr << "MyZELKCmd extract: " << reason << "\n";
        return kExitItemFailed;
    }
    out << path << '\n';
    return kExitOk;
}

namespace
{
void PrintItem(const CEditTreeModel& tree, const CEditTreeItem& item, int depth, std::ostream& out)
{
    out << std::string(static_cast<size_t>(depth) * 2, ' ') << item.GetText() << " ["
        << tree.GetNodeId(&item) << "]\n";
    for (const auto& child : item.GetChildren())
        PrintItem(tree, *child, depth + 1, out);
}
} // namespace

int CommandTree(CMyZELKCore& core, int argc, char**, std::ostream& out)
{
    if (argc != 0)
    {
        std::cerr << "MyZELKCmd tree: takes no arguments\n";
        return kExitUsage;
    }
    CEditTreeModel tree;
    std::string error;
    std::string reason;
    if (!OpenRoomTree(tree, core.Paths(), &error, &reason))
    {
        std::cerr << "MyZELKCmd: " << error << " (" << reason << ")\n";
        return kExitStartup;
    }
    for (const auto& item : tree.GetTopLevelItems())
        PrintItem(tree, *item, 0, out);
    return kExitOk;
}

int CommandClassify(CMyZELKCore& core, int argc, char** argv, std::ostream& out)
{
    if (argc != 1)
    {
        std::cerr << "MyZELKCmd classify: ADDRESS\n";
        return kExitUsage;
    }
    const std::string address = argv[0];
    const CClassifyHosts hosts = ClassifyHostsFromConfig(core.Config());
    const DownloadKind kind = ClassifyDownload(address, hosts);
    static const char* const kNames[] = {"CommunityTopic", "DevelopArticle", "OtherPage"};
    out << kNames[kind] << '\t' << "topic=" << ParseTopicId(address, hosts.community) << '\t'
        << "search-topic=" << ParseTopicId(address, hosts.fullSearch) << '\t'
        << "article=" << ParseArticleId(address, hosts.develop) << '\n';
    return kExitOk;
}
