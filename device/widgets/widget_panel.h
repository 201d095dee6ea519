#pragma once
// A sample of the widgets as the dialogs use them, for the tests, the benchmark and the
// gallery: the 170 x 540 control panel column (PTZ buttons, presets, text buttons, relays, a
// check box, labels and a slider) and a download list. Each records what its widgets send.

#include <memory>
#include <vector>

#include "device/widgets/bitmap_btn.h"
#include "device/widgets/bitmap_slider.h"
#include "device/widgets/check_btn.h"
#include "device/widgets/color_static.h"
#include "device/widgets/ys_list_ctrl.h"

namespace device::widgets {

struct WidgetEvent {
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};

// A top-level window in the dialogs' background colour that logs what its children send.
class SampleParent : public CWnd {
 public:
  ~SampleParent() override;
  bool CreateTop(int x, int y, int width, int height);
  std::vector<WidgetEvent> events;
  std::vector<WidgetEvent> Events(UINT message) const;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  HBRUSH brush_ = nullptr;
};

class SamplePanel : public SampleParent {
 public:
  static constexpr int kWidth = 170;  // the strip the panel is docked in
  static constexpr int kHeight = 540;
  static constexpr int kSliderId = 1290;
  static constexpr int kCheckId = 202;
  ~SamplePanel() override;
  bool Create(int x, int y);

  CBitmapBtn ptz[15];  // IDs 1015 to 1029
  CBitmapBtn presets[3];
  CBitmapBtn text_buttons[6];
  CBitmapBtn relays[2];
  CCheckBtn check;
  CColorStatic row_labels[3];
  CColorStatic label;
  CColorStatic value;
  CBitmapSlider slider;

 private:
  HFONT font_ = nullptr;
  HFONT small_font_ = nullptr;
};

class SampleList : public SampleParent {
 public:
  bool Create(int x, int y, int width, int height, int rows);
  CYSListCtrl list;
};

}  // namespace device::widgets
