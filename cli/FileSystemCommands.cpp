// Placeholder: this group's subcommands are not built yet.
#include "cli/Cli.h"

namespace celcli {

void RegisterFileSystemCommands(CLI::App& app, Runtime& rt) {
  (void)app;
  (void)rt;
}

}  // namespace celcli
