#pragma once
// Every web address the program knows, in one place: the maker's domain
// (credit line, message-box titles) and the sites its buttons and the
// online-search menu open.
//
// The maker and its sibling product Korvel have no public sites yet: their
// hosts stay under the reserved ".example" domain until they do, so that no
// button ever sends the user to a stranger's site. The app store and the
// search engine are real, public services.

namespace vantaro::app {

// Shown as "<domain> 出品" and in the titles "错误 - 【<domain>】".
inline constexpr char kMakerDomain[] = "vantaro.example";
// The sibling product's domain, used by the site search.
inline constexpr char kSiblingDomain[] = "korvel.example";

inline constexpr char kMakerSite[] = "https://www.vantaro.example";    // help pages
inline constexpr char kUploadSite[] = "https://upload.vantaro.example";  // application upload
inline constexpr char kSiblingSite[] = "https://www.korvel.example";   // games
inline constexpr char kForumSite[] = "https://bbs.korvel.example";     // players' forum

inline constexpr char kAppStoreSite[] = "https://play.google.com";
inline constexpr char kSearchSite[] = "https://www.google.com";

}  // namespace vantaro::app
