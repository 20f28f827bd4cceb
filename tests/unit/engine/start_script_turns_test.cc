// Tests of the turn a group of views (an opener and its pop-ups) takes for its start-up scripts.
#include "browser/loads/start_script_turns.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace qvex_engine {
namespace {

// Events, one per word: "Ta1" a takes the turn and gets it (0: waits); "Ra:b" a's scripts
// are gone (or a went) and b holds the turn now ("-": nobody new); "E:b" the holder kept it
// too long and b holds it now.
struct Case {
  const char* why;
  const char* events;
};

const Case kCases[] = {
    {"one view alone takes again and again", "Ta1 Ta1 Ra:- Ta1"},
    {"the others wait in order of asking", "Ta1 Tb0 Tc0 Ra:b Rb:c Rc:- Tc1"},
    {"asking again keeps the place", "Ta1 Tb0 Tc0 Tb0 Ra:b"},
    {"a waiting view that goes leaves the queue", "Ta1 Tb0 Tc0 Rb:- Ra:c"},
    {"nobody waits: the holder keeps the turn past its time", "Ta1 E:- Ta1 Tb0"},
    {"the holder past its time waits again, last", "Ta1 Tb0 Tc0 E:b Rb:c Rc:a Ra:-"},
    {"a holder past its time that goes is forgotten", "Ta1 Tb0 E:b Ra:- Rb:- Tc1"},
    {"a view that holds nothing changes nothing", "Ta1 Rz:- Tb0 Ra:b"},
};

TEST(StartScriptTurnsTest, EventsGiveTheTurnInOrder) {
  static const char kMembers[] = "abcz";
  auto member = [](char c) -> StartScriptTurns::Member {
    return c == '-' ? nullptr : &kMembers[std::string(kMembers).find(c)];
  };
  for (const Case& c : kCases) {
    StartScriptTurns turns;
    std::istringstream events(c.events);
    std::string e;
    while (events >> e) {
      SCOPED_TRACE(std::string(c.why) + ", at " + e);
      if (e[0] == 'T') {
        EXPECT_EQ(turns.Take(member(e[1])), e[2] == '1');
      } else if (e[0] == 'R') {
        EXPECT_EQ(turns.Release(member(e[1])), member(e[3]));
      } else {
        EXPECT_EQ(turns.Expire(), member(e[2]));
      }
    }
  }
}

}  // namespace
}  // namespace qvex_engine
