#include "stitchkit/designio/thread_array.h"

namespace stitchkit {

HString THREAD::GetPrintColorName() const {
  if (!name.isEmpty()) return name;
  if (!code.isEmpty()) return code;
  HString text;
  text.set(L"#%02X%02X%02X", red(), green(), blue());
  return text;
}

}  // namespace stitchkit
