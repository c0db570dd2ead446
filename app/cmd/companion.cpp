#include "app/cmd/companion.h"

#include "app/cmd/console_ui.h"
#include "app/startup/app_core.h"

#include <cstring>
#include <iostream>
#include <string>

namespace
{

const char kUsage[] =
    "Usage: MyZELKCmd COMMAND [ARGUMENTS]\n"
    "\n"
    "Works on the offline library of the MyZELK installation it belongs to.\n"
    "\n"
    "Commands:\n"
    "  save ADDRESS...            download and save each address for offline reading;\n"
    "                             prints one line per item:\n"
    "                               topic   tCommunity ID TITLE DISPLAY-COPY\n"
    "                               article tDevelop   ID TITLE DISPLAY-COPY\n"
    "                               page    tTopic     TITLE DISPLAY-COPY\n"
    "                             and for an item that was stored already:\n"
    "                               updated topic|article|page ...\n"
    "                               failed  KIND ADDRESS REASON\n"
    "  list community|develop [ROOM-ID]\n"
    "  list topic                 saved items, one tab-separated line each (a page's\n"
    "                             line ends with its key)\n"
    "  search community|develop TEXT\n"
    "                             saved items whose title contains TEXT\n"
    "  extract community|develop ID\n"
    "  extract page KEY\n"
    "  extract topic TITLE        write the item's display copy (as opening it would)\n"
    "                             and print its path; of pages sharing a title, TITLE\n"
    "                             gives the first saved\n"
    "  tree                       print the room tree with node IDs\n"
    "  classify ADDRESS           print the kind of the address and its ids\n"
    "  reply TOPIC-ID TEXT        post TEXT (and the configured signature) as a reply\n"
    "                             to the forum topic, signed in with the program's\n"
    "                             browser cookies; prints\n"
    "                               accepted|refused ID ANSWER-FILE\n"
    "                               failed   ID REASON\n"
    "                             and exits 1 unless the reply was accepted\n"
    "\n"
    "Exit status: 0 success, 1 an item failed or nothing matched, 2 usage error,\n"
    "3 the installation (folders, database, room tree) is not usable.\n"
    "The hosts come from MYZELK_HOSTS as for the program, e.g.\n"
    "  MYZELK_HOSTS=community=127.0.0.1:8080,develop=127.0.0.1:8080\n";

using Command = int (*)(CMyZELKCore&, int, char**, std::ostream&);

Command FindCommand(const std::string& name)
{
    if (name == "save")
        return CommandSave;
    if (name == "list")
        return CommandList;
    if (name == "search")
        return CommandSearch;
    if (name == "extract")
        return CommandExtract;
    if (name == "tree")
        return CommandTree;
    if (name == "classify")
        return CommandClassify;
    if (name == "reply")
        return CommandReply;
    return nullptr;
}

} // namespace

int RunCompanion(int argc, char** argv)
{
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") ||
        !std::strcmp(argv[1], "help"))
    {
        (argc < 2 ? std::cerr : std::cout) << kUsage;
        return argc < 2 ? kExitUsage : kExitOk;
    }
    const Command command = FindCommand(argv[1]);
    if (!command)
    {
        std::cerr << "MyZELKCmd: unknown command '" << argv[1] << "'\n\n" << kUsage;
        return kExitUsage;
    }

    CConsoleUi ui; // message boxes of the core go to standard error
    CMyZELKCore core;
    CMyZELKCore::Options options;
    // The program owns the configuration file; the companion only reads it.
    options.saveConfigAtShutdown = false;
    switch (core.Start(options))
    {
    case CMyZELKCore::StartResult::Started:
        break;
    case CMyZELKCore::StartResult::PathsFailed:
        std::cerr << "MyZELKCmd: the program's folders are not usable (the message above says "
                     "which and why)\n";
        return kExitStartup;
    case CMyZELKCore::StartResult::DatabaseFailed:
        std::cerr << "MyZELKCmd: cannot open the database " << core.Paths().m_szDatabaseFile << ": "
                  << core.Store()->OpenError() << "\n";
        return kExitStartup;
    }
    return command(core, argc - 2, argv + 2, std::cout);
}
