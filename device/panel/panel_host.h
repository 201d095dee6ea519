#pragma once
// What the control panel and its dialogs ask of the viewer control that docks them. The
// control implements it; every call comes on the control's window thread.

#include <string>

namespace device::panel {

class PanelHost {
 public:
  virtual ~PanelHost() = default;
  // Starts every channel whose session is not running.
  virtual void StartStoppedChannels() = 0;
  // Stops every running channel; the session records stay.
  virtual void StopAllChannels() = 0;
  // The video library's capture path, as the channels read it.
  virtual std::string CapturePath() const = 0;
  // The library takes the path and "config.txt" keeps it; false when it could not be kept.
  virtual bool ChangeCaptureDir(const std::string& path) = 0;
  // The selected channel, 0-based.
  virtual int CurrentChannel() const = 0;
  // One step of a dialog's work for the shell's own log; shells without one drop it.
  virtual void LogStep(const std::string& /*text*/) {}
};

}  // namespace device::panel
