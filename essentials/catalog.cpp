#include "essentials/catalog.h"

#include "install/launch.h"

namespace vantaro {

// clang-format off
const std::array<EssentialsRowSpec, kEssentialsRowCount> kEssentialsRows = {{
    {"手机优化", "Korvel基础框架,提供Korvel基础运行时库和系统快捷设置面板",
     "系统工具", "详细评测", "651 KB", "1.0", 200, "com.korvel.Korvel", "/korvel/download/23.html"},
    {"应用管理", "在手机上管理APK文件批量安装、批量卸载",
     "系统工具", "详细评测", "192 KB", "1.0", 191, "com.korvel.AppDesk", "/korvel/plugins/appdesk/"},
    {"文件管理", "最好的安卓手机文件管理器，支持Root权限删除系统自带应用功能",
     "系统工具", "详细评测", "522 KB", "1.2", 198, "com.korvel.FileDesk", "/korvel/plugins/filedesk/"},
    {"任务管理", "结束任务，查看软件运行占用内存和每个应用的CPU占用率，强烈推荐",
     "系统工具", "详细评测", "108 KB", "1.0", 203, "com.korvel.TaskDesk", "/korvel/plugins/taskdesk/"},
    {"系统清理", "自动扫描应用缓存使用，一键清理应用缓存",
     "系统工具", "详细评测", "119 KB", "1.0", 195, "com.korvel.Sweeper", "/korvel/plugins/sweeper/"},
    {"启动管理", "高级启动检查模式，数百项启动检测方式更彻底。",
     "系统工具", "详细评测", "105 KB", "1.0", 194, "com.korvel.StartDesk", "/korvel/plugins/startdesk/"},
    {"书签管理", "编辑浏览器书签，批量删除系统浏览器收藏夹项",
     "系统工具", "详细评测", "107 KB", "1.0", 197, "com.korvel.MarkDesk", "/korvel/plugins/markdesk/"},
    {"桌面管理", "修改、创建来电、短信、应用快捷方式，批量删除桌面图标",
     "系统工具", "详细评测", "241 KB", "1.0", 196, "com.korvel.HomeDesk", "/korvel/plugins/homedesk/"},
    {"条码扫描", "扫描一维条码、QR二维条码，轻松下载Korvel软件从电脑上",
     "系统工具", "详细评测", "268 KB", "1.0", 193, "com.korvel.CodeScan", "/korvel/plugins/codescan/"},
    {"手电筒", "控制屏幕背光，摄像头LED闪光灯作为手电筒",
     "系统工具", "详细评测", "82 KB", "1.0", 199, "com.korvel.Torch", "/korvel/plugins/torch/"},
    {"内存整理", "一键释放内存，兼容任务管理的忽略列表",
     "系统工具", "详细评测", "49 KB", "1.0", 201, "com.korvel.MemFree", "/korvel/plugins/memfree/"},
    {"系统信息", "全面深入了解Android设备系统信息，支持OpenGL和感应器列表查看",
     "系统工具", "详细评测", "160 KB", "1.0", 202, "com.korvel.DevInfo", "/korvel/plugins/devinfo/"},
}};
// clang-format on

const std::array<EssentialsColumn, kEssentialsColumnCount> kEssentialsColumns = {{
    {"图标", 70, true},
    {"应用名称和描述", 400, true},
    {"分类", 70, true},
    {"状态", 120, true},
    {"版本", 70, false},
    {"选择", 44, true},
}};

const std::array<EssentialsPreset, kEssentialsPresetCount> kEssentialsPresets = {{
    {"全部功能", 182},
    {"必备组件", 183},
    {"仅安装器", 184},
    {"自定义", 206},
}};

const char* const kRowInstalledText = "已安装";
const char* const kRowNotInstalledText = "未安装";
const char* const kOverviewPagePath = "/korvel/";

namespace {

// How many leading rows a preset ticks (the rest are unticked); -1 leaves
// the ticks as they are.
int PresetTickedRows(int index) {
  switch (index) {
    case 0: return static_cast<int>(kEssentialsRowCount);  // "全部功能"
    case 1: return 5;                                       // "必备组件": rows 0-4
    case 2: return 2;                                       // "仅安装器": rows 0-1
    default: return -1;                                     // "自定义"
  }
}

}  // namespace

bool IsInstalled(std::string_view packageId, const std::vector<std::string>& installedPackages) {
  return IsPackageInstalled(installedPackages, packageId);
}

EssentialsCatalog::EssentialsCatalog(EssentialsList& list, std::string site,
                                     std::function<void(const std::string&)> openPage)
    : list_(list), site_(std::move(site)), openPage_(std::move(openPage)) {}

void EssentialsCatalog::RebuildCatalog(const std::vector<std::string>& installedPackages) {
  list_.ClearItems();
  for (const EssentialsRowSpec& entry : kEssentialsRows) {
    EssentialsItem item{&entry, IsInstalled(entry.packageId, installedPackages), {}};
    item.cells[1] = entry.title;
    item.cells[2] = entry.category;
    item.cells[3] = item.installed ? kRowInstalledText : kRowNotInstalledText;
    item.cells[4] = entry.sizeText;
    item.cells[kPackageIdColumn] = entry.packageId;
    list_.AppendItem(item);
  }
  list_.Repaint();
}

void EssentialsCatalog::ApplyPreset(int index) {
  int ticked = PresetTickedRows(index);
  if (ticked < 0) return;
  for (int row = 0, count = list_.ItemCount(); row < count; ++row) list_.SetTicked(row, row < ticked);
}

void EssentialsCatalog::OnLinkClicked(int row) {
  if (openPage_) openPage_(PageAddress(row));
}

std::string EssentialsCatalog::PageAddress(int row) const {
  bool known = row >= 0 && static_cast<size_t>(row) < kEssentialsRowCount;
  return site_ + (known ? kEssentialsRows[static_cast<size_t>(row)].pagePath : "/");
}

std::string EssentialsCatalog::OverviewAddress() const { return site_ + kOverviewPagePath; }

}  // namespace vantaro
