// StartScriptTurns: one holder at a time, the others in order of asking.
#include "browser/loads/start_script_turns.h"

#include <algorithm>

namespace qvex_engine {

bool StartScriptTurns::Take(Member member) {
  if (!holder_ || holder_ == member) {
    holder_ = member;
    return true;
  }
  if (std::find(waiting_.begin(), waiting_.end(), member) == waiting_.end())
    waiting_.push_back(member);
  return false;
}

StartScriptTurns::Member StartScriptTurns::Release(Member member) {
  if (member != holder_) {
    waiting_.erase(std::remove(waiting_.begin(), waiting_.end(), member), waiting_.end());
    return nullptr;
  }
  holder_ = nullptr;
  if (waiting_.empty()) return nullptr;
  holder_ = waiting_.front();
  waiting_.pop_front();
  return holder_;
}

StartScriptTurns::Member StartScriptTurns::Expire() {
  if (!holder_ || waiting_.empty()) return nullptr;
  Member expired = holder_;
  holder_ = waiting_.front();
  waiting_.pop_front();
  waiting_.push_back(expired);
  return holder_;
}

}  // namespace qvex_engine
