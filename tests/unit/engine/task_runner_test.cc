// CefPostTask: posting order across threads, later turns for tasks posted by tasks, delayed
// tasks, and tasks that throw.
#include <glib.h>
#include <gtest/gtest.h>

#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "common/engine_state.h"
#include "include/base/cef_bind.h"
#include "include/cef_task.h"

namespace {

using qvex_engine::RecordMainThread;

class TaskRunnerTest : public ::testing::Test {
 public:
  TaskRunnerTest() { RecordMainThread(TID_UI); }
  ~TaskRunnerTest() override { RunUntil([] { return false; }, 0); }

  void Post(std::string name) {
    ASSERT_TRUE(CefPostTask(TID_UI, base::BindRepeating([](TaskRunnerTest* t, std::string n) {
                  t->Note(n);
                }, this, name)));
  }
  void Note(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    ran_.push_back(name);
  }
  std::vector<std::string> Ran() {
    std::lock_guard<std::mutex> lock(mutex_);
    return ran_;
  }
  // One non-blocking turn of the main loop.
  static void Turn() { g_main_context_iteration(nullptr, FALSE); }
  // Turns (blocking) until `done` or `ms` milliseconds, then whatever is ready.
  template <typename F>
  static void RunUntil(F done, int ms) {
    gint64 end = g_get_monotonic_time() + ms * 1000;
    while (!done() && g_get_monotonic_time() < end) {
      GSource* limit = g_timeout_source_new(50);
      g_source_set_callback(limit, [](gpointer) { return G_SOURCE_REMOVE; }, nullptr, nullptr);
      g_source_attach(limit, nullptr);
      g_main_context_iteration(nullptr, TRUE);
      g_source_destroy(limit);
      g_source_unref(limit);
    }
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
  }

  std::mutex mutex_;
  std::vector<std::string> ran_;
};

TEST_F(TaskRunnerTest, RunsInPostingOrderNeverInline) {
  Post("a");
  Post("b");
  EXPECT_TRUE(Ran().empty());
  Post("c");
  Turn();
  EXPECT_EQ(Ran(), (std::vector<std::string>{"a", "b", "c"}));
}

TEST_F(TaskRunnerTest, ATaskPostedByATaskRunsInALaterTurn) {
  CefPostTask(TID_UI, base::BindRepeating([](TaskRunnerTest* t) {
    t->Note("outer");
    t->Post("inner");
  }, this));
  Post("after");
  Turn();
  EXPECT_EQ(Ran(), (std::vector<std::string>{"outer", "after"}));
  Turn();
  EXPECT_EQ(Ran(), (std::vector<std::string>{"outer", "after", "inner"}));
}

TEST_F(TaskRunnerTest, OtherThreadsKeepTheirOrderAndWakeTheLoop) {
  constexpr int kEach = 200;
  std::vector<std::thread> threads;
  for (char who : {'x', 'y'}) {
    threads.emplace_back([this, who] {
      for (int i = 0; i < kEach; ++i) Post(std::string(1, who) + std::to_string(i));
    });
  }
  // Blocking turns with no timer of ours: only the posts' wake-ups end them.
  while (Ran().size() < 2 * kEach) g_main_context_iteration(nullptr, TRUE);
  for (auto& t : threads) t.join();
  int next_x = 0, next_y = 0;
  for (const std::string& name : Ran()) {
    int& next = name[0] == 'x' ? next_x : next_y;
    EXPECT_EQ(name.substr(1), std::to_string(next++)) << name;
  }
  EXPECT_EQ(next_x + next_y, 2 * kEach);
}

TEST_F(TaskRunnerTest, DelayedTasksWaitTheirTime) {
  gint64 start = g_get_monotonic_time();
  gint64 ran_at = 0;
  CefPostDelayedTask(TID_UI, base::BindRepeating([](gint64* at) {
    *at = g_get_monotonic_time();
  }, &ran_at), 60);
  Post("now");
  Turn();
  EXPECT_EQ(Ran(), std::vector<std::string>{"now"});
  RunUntil([&] { return ran_at != 0; }, 10000);
  EXPECT_GE(ran_at - start, 60 * 1000);
}

TEST_F(TaskRunnerTest, AThrowingTaskIsContainedAndTheNextRuns) {
  CefPostTask(TID_UI, base::BindRepeating([] { throw std::runtime_error("boom"); }));
  CefPostTask(TID_UI, base::BindRepeating([] { throw 7; }));
  Post("next");
  Turn();
  EXPECT_EQ(Ran(), std::vector<std::string>{"next"});
}

TEST_F(TaskRunnerTest, RefusesOtherThreadIdsAndNullTasks) {
  EXPECT_FALSE(CefPostTask(TID_RENDERER, base::BindRepeating([] {})));
  EXPECT_FALSE(CefPostTask(TID_UI, CefRefPtr<CefTask>()));
}

// A source that works like WebKit's run loop: woken by a ready time, which its dispatch
// clears. Its dispatch stands for the delivery of a message whose handler posts an answer.
struct MessageSource {
  GSource base;
  TaskRunnerTest* test;
};

gboolean DispatchMessage(GSource* source, GSourceFunc, gpointer) {
  g_source_set_ready_time(source, -1);
  TaskRunnerTest* test = reinterpret_cast<MessageSource*>(source)->test;
  qvex_engine::FollowCurrentSource();
  test->Post("answer");
  test->Note("handler returned");
  return G_SOURCE_CONTINUE;
}

GSourceFuncs g_message_funcs = {nullptr, nullptr, DispatchMessage, nullptr, nullptr, nullptr};

TEST_F(TaskRunnerTest, AnswersPostedWhileAMessageIsDispatchedRunInThatTurn) {
  GSource* source = g_source_new(&g_message_funcs, sizeof(MessageSource));
  reinterpret_cast<MessageSource*>(source)->test = this;
  g_source_set_priority(source, G_PRIORITY_HIGH_IDLE);  // WebKit's, below the tasks' own.
  g_source_attach(source, nullptr);
  // The first message's dispatch is where the source is recognised: its answer takes a turn.
  g_source_set_ready_time(source, 0);
  RunUntil([this] { return Ran().size() == 2; }, 1000);
  ran_.clear();
  for (int message = 0; message < 3; ++message) {
    g_source_set_ready_time(source, 0);
    Turn();
    // After the handler, never inside it; and in the same turn, with nothing else to run.
    EXPECT_EQ(Ran(), (std::vector<std::string>{"handler returned", "answer"})) << message;
    EXPECT_FALSE(g_main_context_pending(nullptr));
    ran_.clear();
  }
  // Tasks posted before the message keep their place ahead of its answer.
  Post("earlier");
  g_source_set_ready_time(source, 0);
  RunUntil([this] { return Ran().size() == 3; }, 1000);
  EXPECT_EQ(Ran(), (std::vector<std::string>{"earlier", "handler returned", "answer"}));
  g_source_destroy(source);
  g_source_unref(source);
}

}  // namespace
