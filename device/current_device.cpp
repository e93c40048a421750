#include "device/current_device.h"

namespace vantaro {

std::mutex CurrentDevice::mutex_;
std::string CurrentDevice::serial_;

std::string CurrentDevice::Get() {
  std::lock_guard<std::mutex> lock(mutex_);
  return serial_;
}

void CurrentDevice::Set(const std::string& serial) {
  std::lock_guard<std::mutex> lock(mutex_);
  serial_ = serial;
}

}  // namespace vantaro
