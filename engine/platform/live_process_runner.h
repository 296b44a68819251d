#pragma once

#include <chrono>
#include <memory>

#include "engine/platform/process_running.h"

namespace bnch {

// Starts programs with posix_spawn, by path, without a shell.
//
// Every child starts in a process group of its own; the terminate request
// (SIGTERM) goes to the whole group, so a login shell's children stop with it.
// A child that is still running ten seconds after the terminate request gets
// SIGKILL. Standard input is inherited; no working folder is set.
//
// run() blocks the calling thread while it drains both pipes with poll() and
// reaps the child. stream() returns at once; one background thread per stream
// reads the merged output, yields whole lines, reaps the child, yields `exited`
// and finishes the stream. That thread ends when the child has been reaped and
// its output drained, also when the consumer has dropped the stream.
//
// Output that descendants of the child keep writing after it has exited is read
// only while it keeps coming (at most one second), so a background process that
// holds a pipe open never keeps a call waiting.
//
// Output is decoded as UTF-8 with each ill-formed sequence replaced by U+FFFD.
// Stream lines are split at every line break (LF, VT, FF, CR, CRLF, U+0085,
// U+2028, U+2029; see text.h), so a progress bar redrawn with CR gives a line per
// redraw; empty lines are kept; a final line without a terminator is yielded at
// the end; a line longer than 1 MiB is yielded in parts. Exit codes are the exit
// status, or 128 + the signal number.
//
// run() honours the request's time limit: the group gets the terminate request
// when it passes, and the result says so.
//
// Every child not yet reaped is listed process-wide, so that the program can end
// them all when it is told to stop (see endAllChildProcessGroups).
//
// The runner holds no state: one instance may serve any number of threads.
class LiveProcessRunner final : public ProcessRunning {
 public:
  ProcessResult run(const ProcessRequest& request) override;
  EventStream<ProcessStreamEvent> stream(const ProcessRequest& request,
                                         std::shared_ptr<LiveProcessCancellation> cancellation) override;
};

// Sends SIGTERM to the process group of every child the live runner started and
// has not reaped, waits up to `grace` for the groups to be gone, and sends SIGKILL
// to what is left. Returns how many groups were signalled. Any thread.
int endAllChildProcessGroups(std::chrono::milliseconds grace);

// On SIGINT, SIGTERM or SIGHUP: ends every child process group (as above, two
// seconds' grace) and exits the program with 128 + the signal number. Call once,
// from main, before any other thread starts: it blocks the three signals in the
// calling thread (threads started later inherit the mask; children get a clean
// one) and waits for them on a thread of its own.
void endChildProcessGroupsOnTerminationSignals();

}  // namespace bnch
