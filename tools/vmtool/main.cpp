// vmtool: developer tool that runs each layer of the converter by hand.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/vmtool/Command.h"

namespace {

std::vector<const VmCommand*>& Commands()
{
    static std::vector<const VmCommand*> commands;
    return commands;
}

void PrintHelp(FILE* out)
{
    std::fprintf(out, "usage: vmtool COMMAND [ARGS...]\n\ncommands:\n");
    for (const VmCommand* c : Commands())
        std::fprintf(out, "  %s\n      %s\n", c->usage, c->help);
    std::fprintf(out, "\nvmtool COMMAND --help describes one command.\n");
}

}  // namespace

VmCommand::VmCommand(const char* n, const char* u, const char* h, VmCommandFn r)
    : name(n), usage(u), help(h), run(r)
{
    Commands().push_back(this);
}

int VmUsageError(const VmCommand& command, const std::string& message)
{
    std::fprintf(stderr, "vmtool: %s\nusage: %s\n", message.c_str(), command.usage);
    return 2;
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        PrintHelp(stderr);
        return 2;
    }
    std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintHelp(stdout);
        return 0;
    }
    for (const VmCommand* c : Commands()) {
        if (name != c->name)
            continue;
        std::vector<std::string> args(argv + 2, argv + argc);
        if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
            std::printf("usage: %s\n\n%s\n", c->usage, c->help);
            return 0;
        }
        return c->run(args);
    }
    std::fprintf(stderr, "vmtool: unknown command '%s'\n", name.c_str());
    PrintHelp(stderr);
    return 2;
}
