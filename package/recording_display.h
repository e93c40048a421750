#pragma once
// A PackageDisplay that keeps what it is given, for front ends without
// controls (the CLI) and for tests.

#include <map>
#include <vector>

#include "package/display.h"

namespace vantaro {

class RecordingDisplay : public PackageDisplay {
 public:
  struct Item {
    ReportItem parent;
    std::string text;
    int image;
    bool expanded;
  };

  void setText(int controlId, const std::string& text) override { texts[controlId] = text; }
  void setMessage(const std::string& text, StatusKind kind) override {
    message = text;
    messageKind = kind;
  }
  void setIcon(const uint8_t* bytes, size_t length) override {
    icon.assign(bytes, bytes + (bytes ? length : 0));
    iconCalls++;
  }
  void clearReport() override { items.clear(); }
  ReportItem insertReportItem(ReportItem parent, const std::string& text, int image) override {
    items.push_back({parent, text, image, false});
    return static_cast<ReportItem>(items.size());
  }
  void expandReportItem(ReportItem item) override {
    if (item > 0 && static_cast<size_t>(item) <= items.size()) items[item - 1].expanded = true;
  }

  std::string text(int controlId) const {
    auto it = texts.find(controlId);
    return it == texts.end() ? std::string() : it->second;
  }
  // Items directly under parent, in order (handles are index + 1).
  std::vector<ReportItem> children(ReportItem parent) const {
    std::vector<ReportItem> out;
    for (size_t i = 0; i < items.size(); ++i)
      if (items[i].parent == parent) out.push_back(static_cast<ReportItem>(i + 1));
    return out;
  }
  const Item& item(ReportItem handle) const { return items.at(static_cast<size_t>(handle) - 1); }

  std::map<int, std::string> texts;
  std::string message;
  StatusKind messageKind = StatusKind::Progress;
  std::vector<uint8_t> icon;
  int iconCalls = 0;
  std::vector<Item> items;
};

}  // namespace vantaro
