#include "device/current_device.h"

namespace vantaro {

std::mutex CurrentDevice::mutex_;
std::string CurrentDevice::serial_;
std::vector<std::string> CurrentDevice::targets_;

std::string CurrentDevice::Get() {
  std::lock_guard<std::mutex> lock(mutex_);
  return serial_;
}

void CurrentDevice::Set(const std::string& serial) {
  std::lock_guard<std::mutex> lock(mutex_);
  serial_ = serial;
}

std::vector<std::string> CurrentDevice::Targets() {
  std::lock_guard<std::mutex> lock(mutex_);
  return targets_;
}

void CurrentDevice::SetTargets(std::vector<std::string> serials) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (serials.size() < 2) serials.clear();
  targets_ = std::move(serials);
}

}  // namespace vantaro
