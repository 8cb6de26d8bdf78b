// qvx: the command-line tool over Quorvex's portable core.
#include <CLI/CLI.hpp>

#include <exception>
#include <iostream>
#include <memory>
#include <string>

#include "cli_common.h"
#include "commands.h"
#include "store/messages.h"

namespace {

constexpr qvx::CommandGroup kCommandGroups[] = {
    qvx::RegisterReadCommands,
    qvx::RegisterIntegrityCommands,
    qvx::RegisterCheckCommands,
    qvx::RegisterRecordCommands,
    qvx::RegisterInstrumentCommands,
    qvx::RegisterExportCommands,
    qvx::RegisterImportCommands,
};

// qvx help [COMMAND]: the list of commands, or one command's own --help.
void AddHelpCommand(CLI::App& app, int* status) {
  auto topic = std::make_shared<std::string>();
  CLI::App* help = app.add_subcommand("help", "The commands, or one command's options (help COMMAND)");
  help->add_option("COMMAND", *topic, "A command's name");
  help->callback([&app, topic, status] {
    if (topic->empty()) {
      std::cout << app.help();
      return;
    }
    for (const CLI::App* command : app.get_subcommands({})) {
      if (command->get_name() == *topic) {
        std::cout << command->help();
        return;
      }
    }
    *status = qvx::Fail("qvx help: no command named " + *topic);
  });
}

}  // namespace

int main(int argc, char** argv) {
  qvx::UseBinaryOutput();
  CLI::App app{"Checks, browses and repairs MetaStock data directories.", "qvx"};
  app.set_version_flag("--version", "qvx " QUORVEX_VERSION);
  app.require_subcommand(1, 1);
  int status = qvx::kExitSuccess;
  for (qvx::CommandGroup group : kCommandGroups) group(app, &status);
  AddHelpCommand(app, &status);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // --help prints to stdout and succeeds; every other parse error is a
    // usage error.
    int code = app.exit(error);
    return code == 0 ? qvx::kExitSuccess : qvx::kExitFailure;
  } catch (const std::exception&) {
    return qvx::Fail(GetError(kUnknownErrorMessage));
  }
  return status;
}
