// StartScriptTurns: which view of a group whose documents share one content manager (an opener
// and its pop-ups) may have start-up scripts installed there, and who waits. Bookkeeping only:
// the caller reports the events, runs the resumed members and keeps the clock. UI thread.
#ifndef QVEX_ENGINE_BROWSER_LOADS_START_SCRIPT_TURNS_H_
#define QVEX_ENGINE_BROWSER_LOADS_START_SCRIPT_TURNS_H_

#include <cstddef>
#include <deque>

namespace qvex_engine {

class StartScriptTurns {
 public:
  using Member = const void*;

  // `member` asks to install. True: it holds the turn (it had it, or nobody had). False: it
  // waits, after those that asked before (asking again keeps its place).
  bool Take(Member member);
  // The member's scripts are gone (they ran, or failed, or the member went): a holder hands
  // the turn to the first that waits, a waiting member leaves the queue. Returns the new
  // holder, to be resumed, or null.
  Member Release(Member member);
  // The holder kept the turn too long (its document has not come): it gives the turn to the
  // first that waits and waits again itself, last. Returns the new holder, to be resumed, or
  // null when nobody waits (the holder keeps the turn).
  Member Expire();

  Member holder() const { return holder_; }
  size_t waiting() const { return waiting_.size(); }

 private:
  Member holder_ = nullptr;
  std::deque<Member> waiting_;
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_LOADS_START_SCRIPT_TURNS_H_
