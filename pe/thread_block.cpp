#include "pe/thread_block.h"

#include <asm/ldt.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "pe/loader_internal.h"

namespace pe {

namespace {

using detail::Address32;

// A page of its own, outside the C heap, for each thread's block.
ThreadBlock *NewBlock(std::string *error) {
  void *page = mmap(nullptr, detail::kPageSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (page == MAP_FAILED) {
    *error = std::string("cannot map a thread block: ") + std::strerror(errno);
    return nullptr;
  }
  auto *block = static_cast<ThreadBlock *>(page);
  block->exceptionList = 0xFFFFFFFFu;
  block->self = Address32(block);
  block->tlsPointer = Address32(block->moduleTls);
  pthread_attr_t attributes;
  void *stack = nullptr;
  std::size_t stackSize = 0;
  if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
    pthread_attr_getstack(&attributes, &stack, &stackSize);
    pthread_attr_destroy(&attributes);
  }
  block->stackLimit = Address32(stack);
  block->stackBase = Address32(static_cast<char *>(stack) + stackSize);
  return block;
}

}  // namespace

ThreadBlock *CurrentThreadBlock(std::string *error) {
  thread_local ThreadBlock *current = nullptr;
  if (current != nullptr) return current;
  ThreadBlock *block = NewBlock(error);
  if (block == nullptr) return nullptr;
  // A data segment over the block in one of the thread's own descriptor
  // slots, which the kernel picks.
  user_desc segment{};
  segment.entry_number = static_cast<unsigned>(-1);
  segment.base_addr = Address32(block);
  segment.limit = sizeof(ThreadBlock) - 1;
  segment.seg_32bit = 1;
  segment.useable = 1;
  if (syscall(SYS_set_thread_area, &segment) != 0) {
    *error =
        std::string("cannot give the thread a segment for its thread block (set_thread_area): ") + std::strerror(errno);
    munmap(block, detail::kPageSize);
    return nullptr;
  }
  const uint16_t selector = static_cast<uint16_t>(segment.entry_number << 3 | 3);
  __asm__ volatile("movw %0, %%fs" : : "r"(selector));
  current = block;
  return current;
}

}  // namespace pe
