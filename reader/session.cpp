#include "reader/session.h"

namespace {

// Answers for every slot while no library is loaded: a command pressed
// before the reader exists gets a failure status, never a null call.
template <typename Slot>
struct Failing;
template <typename R, typename... P>
struct Failing<R(DCRF32_CALL*)(P...)> {
  static R DCRF32_CALL Call(P...) { return -1; }
};

#define DCRF32_FAILING(ret, name, params) &Failing<decltype(ReaderApi::name)>::Call,
const ReaderApi kNoReader{DCRF32_FUNCTIONS(DCRF32_FAILING)};
#undef DCRF32_FAILING

}  // namespace

ReaderSession::ReaderSession() : ReaderSession(kNoReader) {}
