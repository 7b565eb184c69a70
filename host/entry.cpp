#include "host/entry.h"

#include "host/current_block.h"
#include "host/external_functions.h"
#include "settings/settings.h"

ExternCallBlock *CurrentCallBlock = nullptr;

namespace {

// Settles the interface version and runs the start-up settings for an
// accepted host.  The host's offer is a signed 16-bit number.
void Initialise(ExternCallBlock *block) {
  const int16_t offered = block->hostVersion;
  int32_t answer = kRefuseHost;
  if (offered >= kLowestHostVersion && offered <= kHighestHostVersion) {
    InitSettings();
    answer = kInterfaceVersion;
  }
  // The answer is a 32-bit signed integer; in the 64-bit layout the field is
  // pointer-wide and the answer is stored sign-extended.
  block->reply = static_cast<intptr_t>(answer);
}

}  // namespace

void HandleIdle(uint8_t idleKind) { static_cast<void>(idleKind); }

void DispatchExternal(int32_t functionIndex, HostHandle parameter, HostHandle reply) {
  switch (static_cast<uint32_t>(functionIndex)) {
    case 0: VersionFunction(reply); break;
    case 2: GetRegistryKey(parameter, reply); break;
    case 3: ListRegistryKeys(parameter, reply); break;
    case 4: ListRegistryValues(parameter, reply); break;
    case 5: SetRegistryKey(parameter, reply); break;
    case 6: DeleteRegistryKey(parameter, reply); break;
    case 7: DeleteRegistryValue(parameter, reply); break;
    default: break;  // 1 and everything above 7: no function
  }
}

// The calling convention is the declaration's (entry.h), its one home.
extern "C" VX_EXPORT void FMExternCallProc(ExternCallBlock *block) {
  CurrentCallBlock = block;
  switch (block->callKind) {
    case CallInit: Initialise(block); break;
    case CallIdle: HandleIdle(block->idleKind); break;
    case CallExternal: {
      const int32_t index = block->functionIndex;
      HostHandle parameter = block->parameterHandle;
      HostHandle reply = reinterpret_cast<HostHandle>(block->reply);
      DispatchExternal(index, parameter, reply);
      break;
    }
    // CallShutdown: nothing is held between calls.  CallPreferences: there
    // are no preferences to show.  2 and 6-255: no action.
    case CallShutdown:
    case CallPreferences:
    default: break;
  }
}
