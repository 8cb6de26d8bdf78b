// qvx: the command-line tool over Quorvex's portable core.
#include <CLI/CLI.hpp>

#include <exception>
#include <iostream>

#include "cli_common.h"
#include "commands.h"
#include "store/messages.h"

namespace {

constexpr qvx::CommandGroup kCommandGroups[] = {
    qvx::RegisterReadCommands,
    qvx::RegisterIntegrityCommands,
    qvx::RegisterRecordCommands,
    qvx::RegisterInstrumentCommands,
};

}  // namespace

int main(int argc, char** argv) {
  qvx::UseBinaryOutput();
  CLI::App app{"Checks, browses and repairs MetaStock data directories.", "qvx"};
  app.require_subcommand(1, 1);
  int status = qvx::kExitSuccess;
  for (qvx::CommandGroup group : kCommandGroups) group(app, &status);
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
