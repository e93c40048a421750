#pragma once
// The platform side of AsyncCommand: one started child with the parent's
// ends of its pipes, and the reader thread that serves it.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace vantaro::detail {

class StreamedChild {
 public:
  enum class Read { Data, Empty, Ended, Failed };
  enum class Wake { ChildEnded, Stop, TimeOut };

  virtual ~StreamedChild() = default;

  // Reads what the pipe holds now, at most capacity bytes, without waiting.
  // Data: got > 0. Empty: the pipe is open and holds nothing. Ended: every
  // writer has closed it. Failed: any other failure.
  virtual Read ReadAvailable(char* buffer, size_t capacity, size_t& got) = 0;
  // Waits up to ms for the child to end or a stop request.
  virtual Wake Wait(unsigned ms) = 0;
  virtual void RequestStop() = 0;
  virtual bool StopRequested() const = 0;
  // Closes the parent's pipe ends and process handle; the child runs on.
  // Safe to call more than once.
  virtual void Release() = 0;

  // The reader thread: started once; body runs on it.
  virtual bool StartReader(std::function<void()> body) = 0;
  virtual bool OnReaderThread() const = 0;
  // Waits for the reader thread to end (see AsyncCommand::Close).
  virtual void FinishReader() = 0;
  // Lets the reader thread end on its own.
  virtual void DetachReader() = 0;
};

// Starts the child with joined output and an input pipe it never gets data
// from; null when a pipe or the child could not be made.
std::shared_ptr<StreamedChild> StartStreamedChild(const std::string& commandLine);

}  // namespace vantaro::detail
