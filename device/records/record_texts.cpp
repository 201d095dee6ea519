#include "device/records/record_texts.h"

#include <cstdio>
#include <vector>

#include "platform/kernel/code_page.h"

namespace device::records {

const ResultColumn kResultColumnsTable[kResultColumns] = {
    {"NO", "序号", 40},
    {"Channel", "通道", 60},
    {"Record Type", "录像类型", 82},
    {"StartTime", "开始时间", 152},
    {"EndTime", "结束时间", 152},
    {"USB Export", "USB导出", 76},
    {"Download", "下载", 75},
};

std::string ToCodePage(const char* utf8) {
  int chars = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  if (chars <= 0) return utf8;
  std::vector<WCHAR> wide(static_cast<size_t>(chars));
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), chars);
  int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), chars, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return utf8;
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), chars, out.data(), bytes, nullptr, nullptr);
  out.resize(static_cast<size_t>(bytes) - 1);  // the NUL
  return out;
}

std::string ColumnTitle(int column, bool chinese) {
  if (column < 0 || column >= kResultColumns) return "";
  const ResultColumn& c = kResultColumnsTable[column];
  return chinese ? ToCodePage(c.chinese) : c.english;
}

std::string ChannelText(int channel, bool chinese) {
  char text[48];
  std::snprintf(text, sizeof text, chinese ? "通道%d" : "channel%d", channel);
  return chinese ? ToCodePage(text) : text;
}

std::string RecordTypeText(int type, bool chinese) {
  const char* en;
  const char* zh;
  switch (type) {
    case 1:
      en = "normal record", zh = "普通录像";
      break;
    case 2:
      en = "move detect", zh = "移动侦测";
      break;
    case 4:
      en = "alarm record", zh = "报警录像";
      break;
    case 8:
      en = "manual record", zh = "手动录像";
      break;
    default:
      if (type >= 9) {
        en = "unknown", zh = "未知";
      } else {
        en = "unknow record", zh = "未知录像";
      }
  }
  return chinese ? ToCodePage(zh) : en;
}

std::string FoundText(int count, bool chinese) {
  char text[64];
  std::snprintf(text, sizeof text, chinese ? "找到 %d 条记录" : "find %d records", count);
  return chinese ? ToCodePage(text) : text;
}

}  // namespace device::records
