#pragma once
// The serial that every device command addresses after "-s"; empty when no
// device is chosen. One value for the whole process, never saved.

#include <mutex>
#include <string>

namespace vantaro {

class CurrentDevice {
 public:
  static std::string Get();
  static void Set(const std::string& serial);

 private:
  static std::mutex mutex_;
  static std::string serial_;
};

}  // namespace vantaro
