#pragma once
// Permission name -> one-line Chinese description with its risk marker
// ("[!] --- " a warning, "[xxx] " the strongest warning). Names the catalogue
// lacks are not shown.

#include <map>
#include <optional>
#include <string>

namespace vantaro {

class PermissionCatalog {
 public:
  PermissionCatalog();
  // Exact, case-sensitive match of the whole name.
  std::optional<std::string> describe(const std::string& name) const;
  size_t size() const { return entries_.size(); }

 private:
  std::map<std::string, std::string> entries_;
};

}  // namespace vantaro
