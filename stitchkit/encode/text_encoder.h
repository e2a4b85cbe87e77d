#pragma once

#include <array>
#include <string_view>

#include "stitchkit/encode/stitch_encoder.h"

namespace stitchkit {

// Writes a design as readable text, one line per record, for inspecting what an encoder
// pipeline produces:
//
//   <label><dx>, Y: <dy>, Absolute X: <x>, Absolute Y: <y>
//
// The label names the command ("Stitch: X: ", "Jump: X: ", ...; a colour change reads
// "Change Needle: <needle>, X: "). dx, dy are measured from the last hard record written (or
// the design start), x, y are the stitch's own point. Each command gets a line; the machine
// stitches a virtual stitch stands for follow it as lines indented by a tab.
//
// Created through TextStitchEncoderFactory and driven like any encoder.
class TextStitchEncoder : public BytestreamStitchEncoder {
 public:
  explicit TextStitchEncoder(const StitchOptions& opts);
  ~TextStitchEncoder() override;

  int flush() override;
  // Prints a summary of the design statistics to the process's standard output (not to the
  // byte stream). The framework does not call it; call it after endDesign. Returns kEncodeOk.
  virtual int vOutputTrailer();

 protected:
  int vSendHardStitch(const HStitch& s) override;
  int vSendSoftStitch(HStitch& s) override;

 private:
  // Formats one line into a fixed buffer. A line that does not fit marks the buffer failed
  // until it is rewound.
  class LineFormatter {
   public:
    static constexpr int kCapacity = 1024;

    void put(std::string_view text);
    void put(int value);
    // Bytes formatted, or -1 when the line did not fit.
    int length() const { return failed_ ? -1 : length_; }
    const char* data() const { return buffer_.data(); }
    void rewind() {
      length_ = 0;
      failed_ = false;
    }

   private:
    std::array<char, kCapacity> buffer_{};
    int length_ = 0;
    bool failed_ = false;
  };

  // Formats the line of `s` and sends it: kEncodeOk (also without a stream) or kEncodeRefused.
  int printStitch(const HStitch& s);
  // Copies the formatted line to the byte stream and rewinds the formatter.
  int lineToBytestream();

  LineFormatter line;
};

class TextStitchEncoderFactory : public StitchEncoderFactory {
 public:
  StitchEncoder* createEncoder(StitchEncoderOptions& options) override;
};

}  // namespace stitchkit
