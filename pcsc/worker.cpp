#include "pcsc/worker.h"

#ifndef _WIN32
#include <dlfcn.h>
#endif

namespace pcsc {

std::shared_ptr<Call> Call::Start(std::function<LONG()> body) {
  auto call = std::make_shared<Call>();
  call->body_ = std::move(body);
  // The thread holds the call too: an abandoned one keeps it, and what
  // its body owns, alive until PC/SC returns.
  call->thread_ = std::thread([call] {
    const LONG result = call->body_();
    std::lock_guard<std::mutex> lock(call->mutex_);
    call->result_ = result;
    call->done_ = true;
    call->returned_.notify_all();
  });
  return call;
}

Call::~Call() {
  // Only reached with the thread joined or left alone, or on the thread
  // itself, whose last reference this was.
  if (thread_.joinable()) thread_.detach();
}

bool Call::WaitUntil(Trace::Clock::time_point deadline) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!returned_.wait_until(lock, deadline, [this] { return done_; })) return false;
  lock.unlock();
  thread_.join();
  return true;
}

void Call::Abandon() {
  if (thread_.joinable()) thread_.detach();
}

bool Call::Returned() {
  std::lock_guard<std::mutex> lock(mutex_);
  return done_;
}

void PinLibrary() {
#ifdef _WIN32
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(&PinLibrary), &module);
#else
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&PinLibrary), &info) != 0 && info.dli_fname != nullptr)
    dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
#endif
}

}  // namespace pcsc
