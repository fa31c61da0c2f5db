// vmtool subcommands register themselves here, one source file each:
//
//   static const VmCommand kCmd{"name", "usage line", "what it does", &Run};
//
// Run gets the arguments after the subcommand's name and answers the exit
// status: 0 success, 1 the operation failed, 2 bad arguments (print why).
#pragma once

#include <string>
#include <vector>

using VmCommandFn = int (*)(const std::vector<std::string>& args);

struct VmCommand {
    VmCommand(const char* name, const char* usage, const char* help, VmCommandFn run);
    const char* name;
    const char* usage;
    const char* help;
    VmCommandFn run;
};

// Prints "vmtool: message" and the command's usage to stderr; answers 2.
int VmUsageError(const VmCommand& command, const std::string& message);
