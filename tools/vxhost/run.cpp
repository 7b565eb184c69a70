#include "tools/vxhost/run.h"

#include <memory>

#include "hostsim/hostsim.h"
#include "tools/vxhost/calls.h"
#include "tools/vxhost/console.h"
#include "tools/vxhost/exit_status.h"
#include "tools/vxhost/functions.h"
#include "tools/vxhost/interactive.h"
#include "tools/vxhost/options.h"
#include "tools/vxhost/registry_session.h"
#include "tools/vxhost/transfer.h"

namespace vxhost {

namespace {

// What a run does, from its options.
struct Plan {
  bool readStdin = false;   // calls come from standard input
  bool needPlugin = false;  // the plug-in is loaded
  bool writing = false;     // the registry may change: its file is locked
};

Plan PlanFor(const Options &options) {
  Plan plan;
  const bool anyAction = !options.calls.empty() || options.interactive || options.functions ||
                         !options.importFile.empty() || options.exportWanted;
  plan.readStdin = options.interactive || !anyAction;
  plan.needPlugin = !options.calls.empty() || plan.readStdin || options.functions;
  plan.writing = !options.calls.empty() || plan.readStdin || !options.importFile.empty();
  return plan;
}

struct Loaded {
  std::unique_ptr<hostsim::Plugin> plugin;
  std::unique_ptr<Functions> functions;
  std::vector<Call> calls;
};

// Loads the plug-in and checks every call of the command line before any
// runs; lists the functions for --functions.
int LoadPlugin(const Options &options, Loaded *loaded) {
  std::string error;
  const std::string path = options.plugin.empty() ? hostsim::DefaultPluginPath() : options.plugin;
  loaded->plugin = hostsim::Plugin::Load(path, &error);
  if (!loaded->plugin) {
    Say(error);
    return kPluginFailure;
  }
  loaded->functions.reset(new Functions(*loaded->plugin));
  if (!PrepareCalls(*loaded->functions, options.calls, &loaded->calls)) return kUsageError;
  if (options.functions) Write(stdout, loaded->functions->List());
  return kReplied;
}

// Initialises the plug-in, runs the command line's calls and then those of
// standard input, and shuts it down.  The registry is held on entry; on
// return it is held too unless *released (which ends the run).
int CallPlugin(const Options &options, const Plan &plan, const Loaded &loaded, RegistrySession &registry,
               bool *released) {
  *released = false;
  hostsim::Host host(*loaded.plugin);
  const int32_t answer = host.Init(4);
  if (answer != 4) {
    Say("the plug-in refused interface version 4 (it answered " + std::to_string(answer) + ")");
    host.Shutdown();
    registry.End();
    *released = true;
    return kPluginFailure;
  }
  int status = kReplied;
  for (const Call &call : loaded.calls) Note(&status, RunCall(host, *loaded.functions, call, options.shape));
  if (plan.readStdin) {
    // Each line takes the registry on its own.
    if (!registry.End()) Note(&status, kRegistryFailure);
    const bool prompt = StdinIsTerminal() && options.shape == Shape::Text;
    Note(&status, RunInteractive(host, *loaded.functions, options.shape, prompt, registry));
    if (!registry.Begin()) {
      host.Shutdown();
      *released = true;
      return kRegistryFailure;
    }
  }
  host.Shutdown();
  return status;
}

}  // namespace

int Run(const std::vector<std::string> &args) {
  Options options;
  std::string error;
  if (!ParseArguments(args, &options, &error)) {
    Say(error);
    return kUsageError;
  }
  if (options.help) {
    Write(stdout, HelpText());
    return kReplied;
  }
  const Plan plan = PlanFor(options);
  Loaded loaded;
  if (plan.needPlugin) {
    const int status = LoadPlugin(options, &loaded);
    if (status != kReplied) return status;
  }
  RegistrySession registry;
  // Calls read from standard input take the registry again, line by line.
  if (!registry.Open(options.registry, plan.writing, plan.readStdin)) return kRegistryFailure;

  // The registry is ours from here to the end (CallPlugin lets go of it
  // while calls are read from standard input).
  if (!options.importFile.empty() && !ImportFrom(options.importFile, &error)) {
    Say(error);
    return kRegistryFailure;  // nothing of it is saved
  }
  int status = kReplied;
  if (!loaded.calls.empty() || plan.readStdin) {
    bool released = false;
    status = CallPlugin(options, plan, loaded, registry, &released);
    if (released) return status;
  }
  if (options.exportWanted && !ExportTo(options, &error)) {
    Say(error);
    Note(&status, kRegistryFailure);
  }
  if (!registry.End()) Note(&status, kRegistryFailure);
  return status;
}

}  // namespace vxhost
