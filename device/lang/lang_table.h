#pragma once
// The language table: every user-visible text of the controls and their dialogs, looked up by
// the dialog control's ID (captions, labels, tooltips, titles) or by message ID (601 to 654),
// in English or in Chinese. Texts are in the program's code page (GBK); slots without a text
// give "".
//
// The two sets are built once per process and never change afterwards, so a looked-up text
// stays valid for the life of the process and any thread may read it; SelectLanguage only
// switches which set the lookups see.

namespace device::lang {

constexpr int kEnglish = 0;
constexpr int kChinese = 1;

// 1290 slots (1292 in the NPAPI build), indexed from 1.
int SlotCount();

// Makes `language` (kEnglish, anything else kChinese) the one Text gives, printing
// "init lang:%d\r\n" with 0 or 1. Until it is called the lookups give English.
void SelectLanguage(int language);
int SelectedLanguage();

// The text of `id`. An ID outside 1 to SlotCount() prints "%s:%u: failed assertion\n" with
// the source name "Global" and gives "".
const char* Text(int id);

// The text of `id` in the given set, whatever the selection (for checks and tools).
const char* TextIn(int language, int id);

}  // namespace device::lang
