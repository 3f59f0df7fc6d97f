// One running instance of the application per user. The first process listens on a local socket in
// the user's runtime folder; a later one hands the documents of its command line to it there and
// ends, and the running one opens them as documents handed in later (the delegate's openFiles) and
// comes to the front.
//
// The socket is "<runtime>/<application id>.socket". <runtime> is $XDG_RUNTIME_DIR when it names a
// folder that the user owns and nobody else may enter, else "/tmp/<application id>-<uid>", made
// with mode 0700 and refused when it is a link, another user's, or open to others. The lock file
// "<socket>.lock" (flock) makes trying and listening one step, so that two processes started
// together cannot both listen; a socket file that nobody answers on is stale and replaced.
//
// A request is the word "open" (or "print", for documents to be printed rather than opened), then
// each document's absolute path, every one followed by a NUL; the sender then shuts its sending
// side. The listener takes requests only from processes of its
// own user, at most 1 MiB and 5 seconds each, answers "K" once the documents are handed on, and
// closes the connection. Paths that are not absolute are dropped.
#pragma once

#include <string>
#include <vector>

namespace plexa {

// Hands the documents to the running instance, if there is one, to be opened or printed: true
// when it took them (this process should end). Otherwise makes this process the one that listens and returns false; also
// false, without listening, when there is no usable runtime folder, no application object, or a
// running instance that does not answer within 5 seconds.
[[nodiscard]] bool PlatformHandToRunningInstance(const std::vector<std::string>& documents,
                                                 bool print = false);
// Stops listening and removes the socket file (at the end of the run).
void PlatformStopInstanceListener();
// The socket's path for this user; empty when no safe runtime folder can be had.
std::string PlatformInstanceSocketPath();

}  // namespace plexa
