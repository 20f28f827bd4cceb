// CheckReport: the findings of `qvexdesk --check`, one line each as text or together as one
// JSON document. Main thread of the browser process.
#ifndef QVEXDESK_APP_CHECK_REPORT_H_
#define QVEXDESK_APP_CHECK_REPORT_H_

#include <string>
#include <vector>

class CheckReport {
 public:
  enum Level { kOk, kWarning, kError };
  struct Finding {
    Level level;
    std::string topic;    // What was checked: "app.qvex", "fronturl", "display", ...
    std::string message;  // What was found.
    std::string fix;      // How to fix it; empty for an ok.
  };

  void Ok(const std::string& topic, const std::string& message);
  void Warning(const std::string& topic, const std::string& message, const std::string& fix);
  void Error(const std::string& topic, const std::string& message, const std::string& fix);

  const std::vector<Finding>& findings() const { return findings_; }
  int Count(Level level) const;

  // "error    fronturl: ... -- fix: ...", one line per finding (line breaks and other control
  // characters in the texts become spaces).
  std::string ToText() const;
  // {"errors":N,"warnings":N,"findings":[{"level","topic","message","fix"}, ...]}
  std::string ToJson() const;

  static const char* LevelName(Level level);

 private:
  std::vector<Finding> findings_;
};

#endif  // QVEXDESK_APP_CHECK_REPORT_H_
