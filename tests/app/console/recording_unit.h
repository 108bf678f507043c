#pragma once

// An output unit that keeps what it is given, line by line, for tests that check what a stage
// writes to the console or the report.

#include <string>
#include <string_view>
#include <vector>

#include "console/output_unit.h"

namespace tarven::testing_support {

class RecordingUnit : public console::OutputUnit {
 public:
  void put(std::string_view text) override {
    for (char c : text) {
      if (c == '\n') {
        lines.push_back(current_);
        current_.clear();
      } else {
        current_ += c;
      }
    }
  }
  std::vector<std::string> lines;

 private:
  std::string current_;
};

}  // namespace tarven::testing_support
