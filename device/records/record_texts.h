#pragma once
// The texts the record search keeps beside the language table: the result list's column
// titles, the channel and record type cells and the count of records found, in English and in
// Chinese (the program's code page, GBK; converted once from the UTF-8 written here).

#include <string>

namespace device::records {

// Language-table IDs of the record search's messages.
inline constexpr int kTextPrompt = 604;
inline constexpr int kTextNoChannel = 605;
inline constexpr int kTextNoType = 606;
inline constexpr int kTextStartAfterEnd = 607;
inline constexpr int kTextQueryFailed = 608;
inline constexpr int kTextUsbFailed = 609;
inline constexpr int kTextUsbNotConnected = 610;
inline constexpr int kTextUsbNoSpace = 611;
inline constexpr int kTextUsbFailedToo = 612;
inline constexpr int kTextComplete = 613;
inline constexpr int kTextHaveDownload = 614;
inline constexpr int kTextDownloadFailedCell = 615;
inline constexpr int kTextCancelled = 616;
inline constexpr int kTextDownloading = 617;
inline constexpr int kTextBeingDownloaded = 618;
inline constexpr int kTextReDownload = 619;
inline constexpr int kTextFiveDownloads = 620;
inline constexpr int kTextSelectExport = 621;
inline constexpr int kTextExportBusy = 622;
inline constexpr int kTextExportSendFailed = 623;
inline constexpr int kTextRecordExpired = 624;
inline constexpr int kTextCloseExport = 625;
inline constexpr int kTextCloseDownloads = 626;
inline constexpr int kTextFileBusy = 641;

inline constexpr int kResultColumns = 7;
inline constexpr int kColumnExport = 5;
inline constexpr int kColumnDownload = 6;

struct ResultColumn {
  const char* english;
  const char* chinese;  // UTF-8
  int width;
};
extern const ResultColumn kResultColumnsTable[kResultColumns];

// The title of result column `column` (0 to 6).
std::string ColumnTitle(int column, bool chinese);
// "channel%d", or its Chinese form.
std::string ChannelText(int channel, bool chinese);
// 1 normal, 2 move detect, 4 alarm, 8 manual; 0, 3, 5, 6, 7 "unknow record"; 9 and above
// "unknown" (and the Chinese texts of the same meaning).
std::string RecordTypeText(int type, bool chinese);
// "find %d records", or its Chinese form.
std::string FoundText(int count, bool chinese);

// UTF-8 to the program's code page.
std::string ToCodePage(const char* utf8);

}  // namespace device::records
