#pragma once

// What the stitch filter's source files share; not part of the installed interface.

#include <exception>
#include <memory>

#include "stitchkit/encode/stitch_encoder.h"
#include "stitchkit/encode/stitch_encoder_internal.h"
#include "stitchkit/filter/stitch_filter.h"
#include "stitchkit/formats/disk_file_format.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"

namespace stitchkit::detail {

// Formats whose files carry no extended records; every other decoder reads extended ones.
// Their encoders also write a command together with its move rather than separately.
bool isPlainVariantFormat(HDiskFileFormat format);

// A new encoder of `kind` that reads `options`; null for a kind whose encoder is not part of
// the library. Throws std::bad_alloc when memory runs out.
std::unique_ptr<BytestreamStitchEncoder> createEncoder(EncoderKind kind,
                                                       const StitchOptions& options);

}  // namespace stitchkit::detail

namespace stitchkit {

class StitchFilter::DesignScope {
 public:
  // Binds the filter's container as its working design unless one is bound already. Throws
  // std::bad_alloc when memory runs out.
  explicit DesignScope(StitchFilter& filter) : filter_(filter.work_.isBound() ? nullptr : &filter) {
    if (filter_ != nullptr) filter_->work_.bind(filter_->stitches_);
  }
  DesignScope(const DesignScope&) = delete;
  DesignScope& operator=(const DesignScope&) = delete;
  // Puts the design back, also when the operation failed.
  ~DesignScope() {
    if (filter_ == nullptr) return;
    try {
      filter_->work_.unbind();
    } catch (const std::exception&) {
      // Only running out of memory while joining the two halves gets here; the design is
      // then lost, but the process is not.
    }
  }

 private:
  StitchFilter* filter_;
};

}  // namespace stitchkit
