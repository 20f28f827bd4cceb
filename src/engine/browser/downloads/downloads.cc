// Downloads: WebKit writes each one into a private folder of ours inside the download folder
// (so it never opens, truncates or removes a file of the user's, whatever it does on failure);
// the finished file is then moved to a free name without replacing anything. UI thread.
#include "browser/downloads/downloads.h"

#include <errno.h>
#include <fcntl.h>
#include <glib/gstdio.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <set>
#include <string>

#include "browser/downloads/download_names.h"
#include "include/base/cef_logging.h"
#include "include/wrapper/cef_helpers.h"

namespace qvex_engine {

namespace {

const char kStateKey[] = "qvex-download";
// The private folder of one download, inside the download folder: the same file system, so
// the finished file moves with a rename; hidden, so a file manager does not show it meanwhile.
const char kPartialFolderTemplate[] = ".qvexdesk-partial-XXXXXX";
const char kPartialName[] = "data";
// Names tried before giving up: "name (1).ext" ... "name (9999).ext".
constexpr int kMaxCandidates = 10000;

struct DownloadState {
  std::string url;
  std::string folder;
  std::string name;          // Sanitised suggestion.
  std::string partial_dir;   // Ours alone; empty until the destination is decided.
  bool failed = false;
};

// Private folders of downloads that have not finished, for the end of the program.
std::set<std::string>& Unfinished() {
  static std::set<std::string> folders;
  return folders;
}

// Removes the private folder and whatever WebKit left in it (files only: it makes no folders).
void RemovePartial(DownloadState* state) {
  if (state->partial_dir.empty()) return;
  if (GDir* dir = g_dir_open(state->partial_dir.c_str(), 0, nullptr)) {
    while (const gchar* entry = g_dir_read_name(dir))
      g_remove((state->partial_dir + "/" + entry).c_str());
    g_dir_close(dir);
  }
  g_rmdir(state->partial_dir.c_str());
  Unfinished().erase(state->partial_dir);
  state->partial_dir.clear();
}

// Moves `source` to `target` only if no file of that name exists: an atomic rename where the
// file system has one, else a hard link (which also refuses an existing name) and an unlink.
// Returns 0 or the errno.
int MoveNoReplace(const std::string& source, const std::string& target) {
  if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
    return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
  if (link(source.c_str(), target.c_str()) != 0) return errno;
  unlink(source.c_str());
  return 0;
}

// The finished file goes to the first free name: the suggestion, then "name (1).ext", ...
// Another program may take a name between two tries: the move refuses it and the next is tried.
void Place(WebKitDownload* download, DownloadState* state) {
  const std::string source = state->partial_dir + "/" + kPartialName;
  const guint64 bytes = webkit_download_get_received_data_length(download);
  int error = 0;
  for (int n = 0; n < kMaxCandidates; ++n) {
    const std::string target = state->folder + "/" + DownloadNames::Candidate(state->name, n);
    error = MoveNoReplace(source, target);
    if (error == 0) {
      LOG(INFO) << "download saved: " << target << " (" << bytes << " bytes from "
                << state->url << ")";
      return;
    }
    if (error != EEXIST) break;
  }
  LOG(WARNING) << "download failed: " << state->url << ": cannot save it in " << state->folder
               << ": " << strerror(error);
}

gboolean OnDecideDestination(WebKitDownload* download, gchar* suggested, DownloadState* state) {
  CEF_REQUIRE_UI_THREAD();
  state->name = DownloadNames::Sanitize(suggested ? suggested : "");
  const gchar* xdg = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD);
  state->folder = DownloadNames::Folder(xdg ? xdg : "", g_get_home_dir());
  std::string partial = state->folder + "/" + kPartialFolderTemplate;
  if (g_mkdir_with_parents(state->folder.c_str(), 0755) != 0 || !g_mkdtemp(&partial[0])) {
    LOG(WARNING) << "download failed: " << state->url << ": cannot write in " << state->folder
                 << ": " << g_strerror(errno);
    state->failed = true;
    webkit_download_cancel(download);
    return TRUE;
  }
  state->partial_dir = partial;
  Unfinished().insert(partial);
  webkit_download_set_allow_overwrite(download, FALSE);
  webkit_download_set_destination(download, (partial + "/" + kPartialName).c_str());
  return TRUE;
}

void OnFailed(WebKitDownload* download, GError* error, DownloadState* state) {
  CEF_REQUIRE_UI_THREAD();
  if (state->failed) return;  // Cancelled by us above, after the warning.
  state->failed = true;
  LOG(WARNING) << "download failed: " << state->url << ": "
               << (error && error->message ? error->message : "unknown error");
}

// A connection that closed before the announced length counts as finished to WebKit: a
// truncated file is not a download that worked. (A compressed body's length is not comparable.)
bool Truncated(WebKitDownload* download, DownloadState* state) {
  WebKitURIResponse* response = webkit_download_get_response(download);
  const guint64 expected = response ? webkit_uri_response_get_content_length(response) : 0;
  SoupMessageHeaders* headers = response ? webkit_uri_response_get_http_headers(response) : nullptr;
  if (expected == 0 || (headers && soup_message_headers_get_one(headers, "Content-Encoding")))
    return false;
  const guint64 received = webkit_download_get_received_data_length(download);
  if (received == expected) return false;
  LOG(WARNING) << "download failed: " << state->url << ": the connection closed after "
               << received << " of " << expected << " bytes";
  return true;
}

// Emitted last, after "failed" when the download failed.
void OnFinished(WebKitDownload* download, DownloadState* state) {
  CEF_REQUIRE_UI_THREAD();
  if (!state->failed && !state->partial_dir.empty() && !Truncated(download, state))
    Place(download, state);
  RemovePartial(state);
}

void OnDownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer) {
  CEF_REQUIRE_UI_THREAD();
  auto* state = new DownloadState();
  WebKitURIRequest* request = webkit_download_get_request(download);
  const gchar* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  state->url = uri ? uri : "";
  // data: URLs can be megabytes long: the log gets their start.
  if (state->url.size() > 200) state->url = state->url.substr(0, 200) + "...";
  g_object_set_data_full(G_OBJECT(download), kStateKey, state, [](gpointer p) {
    auto* state = static_cast<DownloadState*>(p);
    RemovePartial(state);
    delete state;
  });
  g_signal_connect(download, "decide-destination", G_CALLBACK(OnDecideDestination), state);
  g_signal_connect(download, "failed", G_CALLBACK(OnFailed), state);
  g_signal_connect(download, "finished", G_CALLBACK(OnFinished), state);
}

}  // namespace

void AttachDownloads(WebKitWebContext* context) {
  g_signal_connect(context, "download-started", G_CALLBACK(OnDownloadStarted), nullptr);
}

bool DownloadResponse(WebKitResponsePolicyDecision* decision) {
  WebKitURIResponse* response = webkit_response_policy_decision_get_response(decision);
  const guint status = webkit_uri_response_get_status_code(response);
  // No content, or an error answer: nothing to save (WebKit decides as it would).
  if (status == 204 || status == 205 || status >= 400) return false;
  webkit_policy_decision_download(WEBKIT_POLICY_DECISION(decision));
  return true;
}

void DiscardUnfinishedDownloads() {
  const std::set<std::string> folders = Unfinished();
  for (const std::string& folder : folders) {
    DownloadState state;
    state.partial_dir = folder;
    RemovePartial(&state);
  }
}

}  // namespace qvex_engine
