// BackendPort: the TCP port on 127.0.0.1 a backend gets: the one of its last run when it is
// free (a page's storage belongs to its origin, and the origin holds the port), else one the
// system hands out, remembered for the next run. Any thread.
#ifndef QVEXDESK_APP_BACKEND_BACKEND_PORT_H_
#define QVEXDESK_APP_BACKEND_BACKEND_PORT_H_

#include <string>

class BackendPort {
 public:
  // `memory`: the file that remembers the port (its folders are made as needed). Returns 0
  // when no port could be had at all; `why` then says why.
  static int Choose(const std::string& memory, std::string* why);
  // Whether nothing listens on 127.0.0.1:`port` and it can be bound (as a server would, with
  // address reuse).
  static bool IsFree(int port);
  // The default folder of remembered ports: $XDG_STATE_HOME (else ~/.local/state) +
  // "/qvexdesk/backend-ports".
  static std::string DefaultFolder();
  // A file name for `key` (any text): letters, digits, '.', '-' and '_' kept, others escaped.
  static std::string FileNameFor(const std::string& key);
};

#endif  // QVEXDESK_APP_BACKEND_BACKEND_PORT_H_
