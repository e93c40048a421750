#include "package/permissions.h"

namespace vantaro {
namespace {

struct Row {
  const char* name;
  const char* description;
};

constexpr Row kRows[] = {
    {"android.permission.ACCESS_COARSE_LOCATION", "[!] --- 访问粗略位置信息，如WiFi热点或移动基站"},
    {"android.permission.ACCESS_FINE_LOCATION", "[!] --- 访问精确位置信息，将通过GPS全球定位芯片定位"},
    {"android.permission.BLUETOOTH", "允许访问已经配对的蓝牙设备"},
    {"android.permission.BLUETOOTH_ADMIN", "允许发现和配对蓝牙设备"},
    {"android.permission.BRICK", "[xxx] 请求禁止设备，十分危险"},
    {"android.permission.CALL_PHONE", "[!] --- 允许替换系统界面拨打电话"},
    {"android.permission.CALL_PRIVILEGED", "[!] --- 允许拨打任何电话不通过系统界面"},
    {"android.permission.CAMERA", "[!] --- 使用摄像头拍照或扫描条码"},
    {"android.permission.CHANGE_NETWORK_STATE", "改变当前网络连接状态"},
    {"android.permission.CHANGE_WIFI_STATE", "更改WiFi状态"},
    {"android.permission.CLEAR_APP_CACHE", "清除应用程序的缓存"},
    {"android.permission.CLEAR_APP_USER_DATA", "清除应用的用户数据"},
    {"android.permission.DELETE_PACKAGES", "删除第三方应用软件"},
    {"android.permission.DEVICE_POWER", "底层电源管理"},
    {"android.permission.DISABLE_KEYGUARD", "禁用键盘锁"},
    {"android.permission.DUMP", "抓取系统运行信息"},
    {"android.permission.FLASHLIGHT", "使用摄像头闪光灯"},
    {"android.permission.GET_PACKAGE_SIZE", "获取应用大小"},
    {"android.permission.GET_TASKS", "获取系统任务和进程信息"},
    {"android.permission.INTERNET", "[!] --- 访问互联网,将产生GRPS流量"},
    {"android.permission.KILL_BACKGROUND_PROCESSES", "结束后台进程"},
    {"android.permission.MASTER_CLEAR", "[xxx] 恢复出厂设置"},
    {"android.permission.MODIFY_AUDIO_SETTINGS", "修改音频设置"},
    {"android.permission.MODIFY_PHONE_STATE", "控制移动网络状态"},
    {"android.permission.MOUNT_FORMAT_FILESYSTEMS", "格式化文件系统"},
    {"android.permission.NFC", "NFC移动支付"},
    {"android.permission.PROCESS_OUTGOING_CALLS", "处理拨出的电话"},
    {"android.permission.READ_CALENDAR", "[!] --- 读取日程信息"},
    {"android.permission.READ_CONTACTS", "[!] --- 读取联系人"},
    {"android.permission.READ_FRAME_BUFFER", "允许屏幕截图"},
    {"com.android.browser.permission.READ_HISTORY_BOOKMARKS", "读取收藏夹历史记录"},
    {"android.permission.READ_LOGS", "获取系统日志信息"},
    {"android.permission.READ_PHONE_STATE", "获取电话状态"},
    {"android.permission.READ_SMS", "[!] --- 读取短信"},
    {"android.permission.REBOOT", "[xxx] 重新启动"},
    {"android.permission.RECEIVE_BOOT_COMPLETED", "[!] --- 开机自动启动"},
    {"android.permission.RECEIVE_MMS", "接收彩信"},
    {"android.permission.RECEIVE_SMS", "[!] --- 接收短信"},
    {"android.permission.RECORD_AUDIO", "[!] --- 录音"},
    {"android.permission.RESTART_PACKAGES", "[!] --- 结束后台任务"},
    {"android.permission.SEND_SMS", "[!] --- 发送短信"},
    {"com.android.alarm.permission.SET_ALARM", "设置闹铃"},
    {"android.permission.SET_TIME", "设置系统时间"},
    {"android.permission.SET_TIME_ZONE", "设置系统时区"},
    {"android.permission.SET_WALLPAPER", "设置壁纸"},
    {"android.permission.SYSTEM_ALERT_WINDOW", "使用系统窗口"},
    {"android.permission.USE_SIP", "使用SIP VoIP视频通话"},
    {"android.permission.VIBRATE", "使用振动"},
    {"android.permission.WAKE_LOCK", "锁屏后仍后台运行"},
    {"android.permission.WRITE_APN_SETTINGS", "设置APN接入点"},
    {"android.permission.WRITE_CALENDAR", "修改日程项"},
    {"android.permission.WRITE_CONTACTS", "修改联系人"},
    {"android.permission.WRITE_EXTERNAL_STORAGE", "修改SD卡上的文件"},
    {"com.android.browser.permission.WRITE_HISTORY_BOOKMARKS", "修改浏览器历史记录"},
    {"android.permission.WRITE_SECURE_SETTINGS", "修改系统安全敏感设置项"},
    {"android.permission.WRITE_SETTINGS", "修改系统设置项"},
    {"android.permission.WRITE_SMS", "编写短信"},

    // Permissions that current Android asks the user for at run time.
    {"android.permission.READ_EXTERNAL_STORAGE", "[!] --- 读取SD卡和共享存储中的文件"},
    {"android.permission.ACCESS_BACKGROUND_LOCATION", "[!] --- 在后台持续访问位置信息"},
    {"android.permission.ACCESS_MEDIA_LOCATION", "[!] --- 读取照片和视频中的拍摄位置"},
    {"android.permission.READ_CALL_LOG", "[!] --- 读取通话记录"},
    {"android.permission.WRITE_CALL_LOG", "[!] --- 修改或删除通话记录"},
    {"android.permission.READ_PHONE_NUMBERS", "[!] --- 读取本机电话号码"},
    {"android.permission.ANSWER_PHONE_CALLS", "[!] --- 自动接听来电"},
    {"android.permission.ACCEPT_HANDOVER", "[!] --- 接续其他应用发起的通话"},
    {"android.permission.ADD_VOICEMAIL", "[!] --- 添加语音信箱留言"},
    {"android.permission.RECEIVE_WAP_PUSH", "[!] --- 接收WAP推送消息"},
    {"android.permission.BODY_SENSORS", "[!] --- 读取心率等身体传感器数据"},
    {"android.permission.BODY_SENSORS_BACKGROUND", "[!] --- 在后台读取身体传感器数据"},
    {"android.permission.ACTIVITY_RECOGNITION", "[!] --- 识别步行、骑车等身体活动"},
    {"android.permission.READ_MEDIA_IMAGES", "[!] --- 读取手机中的图片"},
    {"android.permission.READ_MEDIA_VIDEO", "[!] --- 读取手机中的视频"},
    {"android.permission.READ_MEDIA_AUDIO", "[!] --- 读取手机中的音乐和音频"},
    {"android.permission.READ_MEDIA_VISUAL_USER_SELECTED", "[!] --- 读取用户选定的图片和视频"},
    {"android.permission.POST_NOTIFICATIONS", "[!] --- 发送通知"},
    {"android.permission.BLUETOOTH_SCAN", "[!] --- 扫描附近的蓝牙设备，可用于推断位置"},
    {"android.permission.BLUETOOTH_CONNECT", "[!] --- 连接已配对的蓝牙设备"},
    {"android.permission.BLUETOOTH_ADVERTISE", "[!] --- 向附近的蓝牙设备广播信号"},
    {"android.permission.NEARBY_WIFI_DEVICES", "[!] --- 发现并连接附近的WiFi设备"},
    {"android.permission.UWB_RANGING", "[!] --- 测量与附近超宽带设备的距离和方位"},
    {"android.permission.GET_ACCOUNTS", "[!] --- 获取手机上的账户列表"},

    // Special permissions granted in the system settings, widely misused.
    {"android.permission.REQUEST_INSTALL_PACKAGES", "[!] --- 请求安装其他应用软件"},
    {"android.permission.MANAGE_EXTERNAL_STORAGE", "[!] --- 管理共享存储中的所有文件"},
    {"android.permission.QUERY_ALL_PACKAGES", "[!] --- 获取手机上已安装的全部应用列表"},
    {"android.permission.PACKAGE_USAGE_STATS", "[!] --- 获取各应用的使用时长和使用记录"},
    {"android.permission.BIND_ACCESSIBILITY_SERVICE", "[!] --- 作为无障碍服务读取屏幕内容并代替用户操作"},
    {"android.permission.BIND_DEVICE_ADMIN", "[!] --- 作为设备管理器锁屏、清除数据，并阻止自身被卸载"},
    {"android.permission.BIND_NOTIFICATION_LISTENER_SERVICE", "[!] --- 读取所有通知的内容，包括短信验证码"},
    {"android.permission.SCHEDULE_EXACT_ALARM", "设置精确定时闹钟，可按时唤醒手机"},
    {"android.permission.ACCESS_NETWORK_STATE", "获取网络连接状态"},
    {"android.permission.ACCESS_WIFI_STATE", "获取WiFi连接状态"},
    {"android.permission.FOREGROUND_SERVICE", "以前台服务方式持续运行"},
    {"android.permission.USE_BIOMETRIC", "使用指纹、面部等生物识别验证"},
    {"android.permission.USE_FINGERPRINT", "使用指纹验证"},
};

}  // namespace

PermissionCatalog::PermissionCatalog() {
  for (const Row& row : kRows) entries_.emplace(row.name, row.description);  // the first description wins
}

std::optional<std::string> PermissionCatalog::describe(const std::string& name) const {
  auto it = entries_.find(name);
  if (it == entries_.end()) return std::nullopt;
  return it->second;
}

}  // namespace vantaro
