// The host that hostsim plays: it builds call blocks, sends every kind of
// call, answers the six memory services, journals them, and checks the
// handles after each call.
#ifndef VANTORIX_HOSTSIM_HOST_H
#define VANTORIX_HOSTSIM_HOST_H

#include <cstdint>
#include <string>
#include <vector>

#include "host/call_block.h"
#include "hostsim/handle_table.h"
#include "hostsim/plugin.h"

namespace hostsim {

enum class Service { ResizeHandle, QueryHandleSize, PrepareHandle, LockHandle, UnlockHandle, LastMemoryError };
const char *ServiceName(Service service);

struct JournalEntry {
  Service service;
  HostHandle handle;  // null for LastMemoryError
  uint32_t argument;  // the new size for ResizeHandle, else 0
};

// What an external call left in the reply handle.
struct ExternalResult {
  bool touched = false;  // resized or written at all
  std::string reply;     // the reply handle's bytes after the call
};

class Host {
 public:
  struct Options {
    bool journal = true;  // record every service call
    bool strict = true;   // move and poison on resize, guard bytes, checks
  };

  // The sentinel that a reply handle holds before an external call, so that
  // "no reply" can be told from an empty one.
  static const std::string kReplySentinel;

  explicit Host(const Plugin &plugin);
  Host(const Plugin &plugin, Options options);
  ~Host();
  Host(const Host &) = delete;
  Host &operator=(const Host &) = delete;

  // --- calls ---
  // CallInit offering this interface version; returns the answer in reply.
  int32_t Init(int16_t hostVersion = 4);
  void Idle(uint8_t idleKind = 0);
  void Shutdown();
  void Preferences();
  // Any call kind, with nothing else set up; returns the block afterwards.
  ExternCallBlock Send(uint8_t callKind);
  // CallExternal with a fresh parameter handle holding `parameter` and a
  // reply handle holding the sentinel (or `initialReply`).
  ExternalResult External(int32_t functionIndex, const std::string &parameter);
  ExternalResult External(int32_t functionIndex, const std::string &parameter, const std::string &initialReply);

  // The block as the plug-in left it after the last call.
  const ExternCallBlock &LastBlock() const { return block_; }
  // The bytes every field of a block holds before the host fills it in, so
  // that a field the plug-in reads but this call does not set reads as
  // 0xEE...: neither 0 nor a small number, and as a pointer outside what
  // 32-bit Windows gives a program (and no valid address at all on x86-64),
  // so following it fails at once instead of reading plausible data.
  static constexpr unsigned char kBlockFill = 0xEE;

  // --- faults ---
  // What LastMemoryError answers after a resize that found no memory.
  static constexpr int16_t kMemoryFull = -108;
  // The next `count` resizes fail: LastMemoryError then answers `code` and
  // the data stays as it was.
  void FailResizes(int count, int16_t code = kMemoryFull);

  // --- journal and checks ---
  const std::vector<JournalEntry> &Journal() const { return journal_; }
  void ClearJournal() { journal_.clear(); }
  // Journal entries of the last external call that concern its parameter
  // handle, in order.
  std::vector<Service> ParameterCalls() const;
  // Faults seen so far (unbalanced locks, an unlock without a lock, bytes
  // written past a handle's data, a changed parameter text, a service called
  // with a handle the host never gave out); empty when all is well.
  const std::vector<std::string> &Violations() const { return violations_; }
  HostHandle LastParameterHandle() const { return lastParameter_; }
  HostHandle LastReplyHandle() const { return lastReply_; }

  // --- handles (for tests that drive the services directly) ---
  HostHandle NewHandle(const std::string &bytes);
  void FreeHandle(HostHandle handle);
  std::string Bytes(HostHandle handle) const;
  int LockCount(HostHandle handle) const;
  // Makes this host the one whose services answer, and sets the block the
  // plug-in reads, without calling the plug-in.
  ExternCallBlock *PrepareBlock(uint8_t callKind);

  // Sends an already filled block to the plug-in with this host's services
  // answering, and nothing else: no journal mark, no checks.  For benchmarks
  // that send one prepared call many times (see RepeatedCall).
  void SendPrepared(ExternCallBlock *block);

 private:
  void Call();

  const Plugin &plugin_;
  Options options_;
  ExternCallBlock block_;
  int16_t hostVersion_ = 4;
  std::vector<JournalEntry> journal_;
  std::vector<std::string> violations_;
  HandleTable handles_;
  int failResizes_ = 0;
  int16_t failCode_ = 0;
  int16_t lastMemoryError_ = 0;
  HostHandle lastParameter_ = nullptr;
  HostHandle lastReply_ = nullptr;
  std::size_t journalMark_ = 0;

  friend struct Services;
};

// One external call prepared once and sent many times, with the same
// parameter and reply handles: what a benchmark measures is then the
// plug-in's work, not the host's set-up of each call.
class RepeatedCall {
 public:
  RepeatedCall(Host &host, int32_t functionIndex, const std::string &parameter);
  ~RepeatedCall();
  RepeatedCall(const RepeatedCall &) = delete;
  RepeatedCall &operator=(const RepeatedCall &) = delete;

  void Send() { host_.SendPrepared(&block_); }
  std::string Reply() const { return host_.Bytes(reply_); }

 private:
  Host &host_;
  HostHandle parameter_;
  HostHandle reply_;
  ExternCallBlock block_;
};

}  // namespace hostsim

#endif
