#include "device/async_command.h"

#include <utility>

#include "device/streamed_child.h"

namespace vantaro {

AsyncCommand::~AsyncCommand() { AsyncCommand::Close(); }

bool AsyncCommand::Start(const std::string& commandLine) {
  Close();
  std::shared_ptr<detail::StreamedChild> child = detail::StartStreamedChild(commandLine);
  if (!child) return false;
  OutputSink* sink = sink_;
  unsigned interval = pollIntervalMs;
  // The thread keeps the child alive for as long as it runs.
  bool started = child->StartReader([child, sink, interval] {
    ReadAll(*child, sink, interval);
    child->Release();
  });
  if (!started) {
    child->Release();
    return false;
  }
  std::shared_ptr<detail::StreamedChild> previous;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    previous = std::exchange(run_, std::move(child));
  }
  Stop(std::move(previous));  // only when another thread started one meanwhile
  return true;
}

void AsyncCommand::Close() {
  std::shared_ptr<detail::StreamedChild> run;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    run = std::move(run_);
  }
  Stop(std::move(run));
}

void AsyncCommand::Stop(std::shared_ptr<detail::StreamedChild> run) {
  if (!run) return;
  run->RequestStop();
  if (run->OnReaderThread()) {
    // Called from OnOutput: the reader sees the request when the sink
    // returns and releases the pipes itself.
    run->DetachReader();
    return;
  }
  run->FinishReader();
  run->Release();
}

void AsyncCommand::ReadAll(detail::StreamedChild& child, OutputSink* sink, unsigned intervalMs) {
  using Read = detail::StreamedChild::Read;
  using Wake = detail::StreamedChild::Wake;
  auto deliver = [&](const std::string& text, OutputStatus status) {
    if (sink && !child.StopRequested()) sink->OnOutput(text, status);
  };
  // Everything available now, in pieces; Empty when the pipe is still open.
  auto drain = [&]() -> Read {
    char buffer[kPieceSize + 1];
    for (;;) {
      if (child.StopRequested()) return Read::Failed;  // ends the run silently
      size_t got = 0;
      Read r = child.ReadAvailable(buffer, kPieceSize, got);
      if (r == Read::Data) {
        deliver(std::string(buffer, got), OutputStatus::Chunk);
        continue;
      }
      if (r == Read::Ended) deliver(std::string(), OutputStatus::Finished);
      if (r == Read::Failed) deliver(std::string(), OutputStatus::Failed);
      return r;
    }
  };

  Read state = drain();
  while (state == Read::Empty) {
    Wake wake = child.Wait(intervalMs);
    if (wake == Wake::Stop) return;
    state = drain();
    if (wake == Wake::ChildEnded && state == Read::Empty) {
      // The child has ended, but a process it started (adb's server) still
      // holds the pipe open: what the child wrote has all been read.
      deliver(std::string(), OutputStatus::Finished);
      return;
    }
  }
}

}  // namespace vantaro
