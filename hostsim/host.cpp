#include "hostsim/host.h"

#include <cstring>

#include "hostsim/checked_call.h"
#include "hostsim/services.h"

namespace hostsim {

const std::string Host::kReplySentinel = "\x01<hostsim: no reply>\x02";

Host::Host(const Plugin &plugin) : Host(plugin, Options()) {}

Host::Host(const Plugin &plugin, Options options) : plugin_(plugin), options_(options), handles_(options.strict) {
  std::memset(&block_, kBlockFill, sizeof block_);
}

Host::~Host() { Services::Withdraw(this); }

HostHandle Host::NewHandle(const std::string &bytes) { return handles_.New(bytes); }

void Host::FreeHandle(HostHandle handle) { handles_.Free(handle); }

std::string Host::Bytes(HostHandle handle) const {
  const HandleTable::Record *record = handles_.Find(handle);
  return record ? std::string(reinterpret_cast<const char *>(record->master), record->size) : std::string();
}

int Host::LockCount(HostHandle handle) const {
  const HandleTable::Record *record = handles_.Find(handle);
  return record ? record->locks : 0;
}

void Host::FailResizes(int count, int16_t code) {
  failResizes_ = count;
  failCode_ = code;
}

ExternCallBlock *Host::PrepareBlock(uint8_t callKind) {
  std::memset(&block_, kBlockFill, sizeof block_);
  block_.hostVersion = hostVersion_;
  block_.callKind = callKind;
  block_.instanceHandle = plugin_.instance();
  Services::Offer(this, &block_);
  return &block_;
}

void Host::Call() {
  journalMark_ = journal_.size();
  const std::string broken = CheckedCall(plugin_.entry(), &block_);
  if (!broken.empty()) violations_.push_back(broken);
  if (options_.strict)
    violations_.insert(violations_.end(), handles_.Overruns(), "bytes written past the end of a handle's data");
}

int32_t Host::Init(int16_t hostVersion) {
  hostVersion_ = hostVersion;
  PrepareBlock(CallInit);
  Call();
  return static_cast<int32_t>(block_.reply);
}

void Host::Idle(uint8_t idleKind) {
  PrepareBlock(CallIdle)->idleKind = idleKind;
  Call();
}

void Host::Shutdown() {
  PrepareBlock(CallShutdown);
  Call();
}

void Host::Preferences() {
  PrepareBlock(CallPreferences);
  Call();
}

ExternCallBlock Host::Send(uint8_t callKind) {
  PrepareBlock(callKind);
  Call();
  return block_;
}

ExternalResult Host::External(int32_t functionIndex, const std::string &parameter) {
  return External(functionIndex, parameter, kReplySentinel);
}

ExternalResult Host::External(int32_t functionIndex, const std::string &parameter, const std::string &initialReply) {
  HostHandle param = NewHandle(parameter);
  HostHandle reply = NewHandle(initialReply);
  ExternCallBlock *block = PrepareBlock(CallExternal);
  block->functionIndex = functionIndex;
  block->parameterHandle = param;
  block->reply = reinterpret_cast<intptr_t>(reply);
  Call();

  ExternalResult result;
  result.reply = Bytes(reply);
  const HandleTable::Record *replyRecord = handles_.Find(reply);
  result.touched = (replyRecord && replyRecord->resized) || result.reply != initialReply;
  if (options_.strict) {
    if (LockCount(param) != 0)
      violations_.push_back("parameter handle left locked " + std::to_string(LockCount(param)) + " time(s)");
    if (Bytes(param) != parameter) violations_.push_back("parameter text changed");
    if (LockCount(reply) != 0) violations_.push_back("reply handle left locked");
  }
  // Free both handles now, so that a plug-in that keeps them is caught.
  lastParameter_ = param;
  lastReply_ = reply;
  FreeHandle(param);
  FreeHandle(reply);
  return result;
}

void Host::SendPrepared(ExternCallBlock *block) {
  Services::Answer(this);
  plugin_.entry()(block);
}

RepeatedCall::RepeatedCall(Host &host, int32_t functionIndex, const std::string &parameter)
    : host_(host), parameter_(host.NewHandle(parameter)), reply_(host.NewHandle(std::string())) {
  block_ = *host.PrepareBlock(CallExternal);
  block_.functionIndex = functionIndex;
  block_.parameterHandle = parameter_;
  block_.reply = reinterpret_cast<intptr_t>(reply_);
}

RepeatedCall::~RepeatedCall() {
  host_.FreeHandle(parameter_);
  host_.FreeHandle(reply_);
}

std::vector<Service> Host::ParameterCalls() const {
  std::vector<Service> calls;
  for (std::size_t i = journalMark_; i < journal_.size(); ++i) {
    if (journal_[i].handle == lastParameter_) calls.push_back(journal_[i].service);
  }
  return calls;
}

}  // namespace hostsim
