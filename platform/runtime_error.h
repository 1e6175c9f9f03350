// A failed system call as an exception that names the call and carries the system's error code.
#pragma once

#include <stdexcept>
#include <string>

namespace dravelin {

class RuntimeError : public std::runtime_error {
 public:
  RuntimeError(const std::string& call, long code)
      : std::runtime_error(call + " failed (error " + std::to_string(code) + ")"), code_(code) {}
  long code() const { return code_; }

 private:
  long code_;
};

}  // namespace dravelin
