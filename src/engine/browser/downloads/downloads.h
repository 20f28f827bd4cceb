// Downloads of the UI process: every download is saved, without a dialog, into the user's
// download folder under a name of its own, and never over, into or instead of an existing
// file. UI thread.
#ifndef QVEX_ENGINE_BROWSER_DOWNLOADS_DOWNLOADS_H_
#define QVEX_ENGINE_BROWSER_DOWNLOADS_DOWNLOADS_H_

#include <webkit2/webkit2.h>

namespace qvex_engine {

// Takes charge of every download the context starts (links with a download attribute,
// attachments, types the engine cannot show, blob: and data: URLs).
void AttachDownloads(WebKitWebContext* context);

// A main-frame response that does not become a document (an attachment, a type the engine
// cannot show): saved as a download when it carries content. Returns whether it decided.
bool DownloadResponse(WebKitResponsePolicyDecision* decision);

// The program ends: the partial data of unfinished downloads goes with it.
void DiscardUnfinishedDownloads();

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_DOWNLOADS_DOWNLOADS_H_
