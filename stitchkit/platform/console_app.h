#pragma once

#include "stitchkit/platform/h_string.h"

namespace stitchkit {

// The record of host data a host program may supply; side files print its number.
struct HostData {
  int number = 0;
};

// The host application as the library consults it. The library never creates one: a host
// program that wants to answer these questions installs its own with setConsoleApp. Without
// one, every caller takes its documented fallback.
class ConsoleApp {
 public:
  virtual ~ConsoleApp() = default;

  // The host's yes/no mode; when true, new option records insert blank stitches after trims
  // and at the beginning of a design.
  virtual bool isBlankStitchMode() const { return false; }
  // Name of the current default machine format; false when the host offers no machine
  // settings.
  virtual bool getDefaultMachineFormat(HString& name) const {
    (void)name;
    return false;
  }
  // Directory holding the machine format profiles; empty for the fallback ".".
  virtual HString getMachineFormatDirectory() const { return HString(); }
  // Text of a display-name id; empty when the host has none.
  virtual HString getDisplayName(int id) const {
    (void)id;
    return HString();
  }
  virtual HostData getHostData() const { return HostData(); }
};

// The installed host application, or null. The pointer is shared by all threads; install it
// before any conversion starts. The library does not take ownership.
ConsoleApp* getConsoleApp();
void setConsoleApp(ConsoleApp* app);

}  // namespace stitchkit
