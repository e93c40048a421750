#pragma once
// A child process whose output is streamed, piece by piece, to a sink from a
// reader thread that polls the pipe.

#include <memory>
#include <mutex>
#include <string>

namespace vantaro {

enum class OutputStatus {
  Chunk = 0,     // the next piece of output, at most 255 bytes
  Finished = 1,  // empty text: the child has ended and its output is drained
  Failed = 2,    // empty text: reading the pipe failed
};

class OutputSink {
 public:
  // Called on the reader thread. A run delivers zero or more Chunk calls and
  // at most one Finished or Failed call.
  virtual void OnOutput(const std::string& text, OutputStatus status) = 0;

 protected:
  ~OutputSink() = default;
};

namespace detail {
class StreamedChild;
}

class AsyncCommand {
 public:
  static constexpr size_t kPieceSize = 255;

  explicit AsyncCommand(OutputSink* sink = nullptr) : sink_(sink) {}
  virtual ~AsyncCommand();
  AsyncCommand(const AsyncCommand&) = delete;
  AsyncCommand& operator=(const AsyncCommand&) = delete;

  // The receiver of later runs' output; null drops it.
  void SetSink(OutputSink* sink) { sink_ = sink; }

  // Ends any earlier run, then starts the command line (hidden, in a console
  // of its own) and the reader thread. False when either did not start;
  // nothing is then delivered.
  bool Start(const std::string& commandLine);

  // Stops the reader thread and releases the pipes. From another thread it
  // returns once the reader has stopped (it is asked to stop and honours
  // that within one poll interval), and no output is delivered after it
  // returns. From inside OnOutput it only asks the reader to stop. The child
  // itself is left running.
  virtual void Close();

  // How long the reader thread waits between drains.
  unsigned pollIntervalMs = 100;

 private:
  static void Stop(std::shared_ptr<detail::StreamedChild> run);
  static void ReadAll(detail::StreamedChild& child, OutputSink* sink, unsigned intervalMs);

  OutputSink* sink_;
  std::mutex mutex_;
  std::shared_ptr<detail::StreamedChild> run_;
};

}  // namespace vantaro
