#pragma once
// File names the agent hands to the vendor library.
#include <cstdint>
#include <string>

namespace qlx::agent {

// The agent executable's full file name cut at its last separator (the
// separator removed).
std::u16string ModuleFolder();

// Debug and trace files of the start-up, named after the process id, in the
// logging library's log folder.
std::u16string StartupDebugFile(const std::u16string& folder, uint32_t pid);
std::u16string StartupTraceFile(const std::u16string& folder, uint32_t pid);

// Debug and trace files set up again by RPC_PTRobot_Initialize, in the module
// folder itself.
std::u16string InitializeDebugFile(const std::u16string& folder);
std::u16string InitializeTraceFile(const std::u16string& folder);

// The endpoint an agent with process id `pid` listens on: "PTRobotRpc<pid>".
std::u16string AgentEndpoint(uint32_t pid);

}  // namespace qlx::agent
