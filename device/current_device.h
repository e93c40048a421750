#pragma once
// The serial that every device command addresses after "-s"; empty when no
// device is chosen. One value for the whole process, never saved.
//
// Beside it, the phones ticked in the chooser when it last closed with
// several ticked: an install after that choice goes to each of them in turn.

#include <mutex>
#include <string>
#include <vector>

namespace vantaro {

class CurrentDevice {
 public:
  static std::string Get();
  static void Set(const std::string& serial);

  // The ticked phones in the chooser's order; empty unless two or more.
  static std::vector<std::string> Targets();
  static void SetTargets(std::vector<std::string> serials);

 private:
  static std::mutex mutex_;
  static std::string serial_;
  static std::vector<std::string> targets_;
};

}  // namespace vantaro
